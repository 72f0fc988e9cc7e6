// The login through the real window against the cloud simulator and a loopback registrar: the
// provisioned extensions register, the service saw the right Authorization, logout and a second
// login with other devices, and the ways a login fails.
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include "cloudui/deviceselectwindow.h"
#include "cloudui/logindialog.h"
#include "cloudui/loginmanager.h"
#include "panel/panelfixture.h"
#include "ui_orvalo.h"

namespace {
const QRegularExpression LoginPath(QStringLiteral("get_orvalo_login_device_details$"));

QByteArray basic(const QString &credentials)
{
    return "Basic " + credentials.toUtf8().toBase64();
}

int provisionedRows()
{
    QSqlQuery q;
    q.exec(QStringLiteral("SELECT COUNT(*) FROM accounts WHERE fromapi = 1 AND companydevice = 0"));
    return q.next() ? q.value(0).toInt() : -1;
}
} // namespace

class TestLoginEndToEnd final : public QObject
{
    Q_OBJECT

    PanelFixture m_panel;
    testbed::CloudSim &m_cloud = m_panel.cloud;
    Settings *m_settings = nullptr;
    Orvalo *m_window = nullptr;
    std::unique_ptr<LoginManager> m_login;
    // The answer to "Load configurations?".
    Prompt::Button m_loadAnswer = Prompt::Yes;

    LoginDialog *dialog() const { return m_login->dialog(); }

    template <typename T> T *field(const char *name) const
    {
        return dialog()->findChild<T *>(QLatin1String(name));
    }

    // Opens the login window (Login action or start-up) and waits until the service answered hello.
    bool openLogin()
    {
        if (m_window->isLoggedIn())
            return false;
        m_window->form()->actionLogin->trigger();
        return dialog()
            && QTest::qWaitFor([this] { return field<QPushButton>("ButtonOk")->isEnabled(); }, 10000);
    }

    // Chooses the given rows in the device window once it shows (it runs modally inside the reply).
    void chooseRows(const QList<int> &rows)
    {
        auto *timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [timer, rows] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *select = qobject_cast<DeviceSelectWindow *>(w);
                if (!select || !select->isVisible())
                    continue;
                auto *list = select->findChild<QListWidget *>(QStringLiteral("list_devices"));
                for (int row : rows)
                    list->item(row)->setSelected(true);
                select->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
                timer->deleteLater();
                return;
            }
        });
        timer->start(20);
    }

    void submit(const QString &company, const QString &user, const QString &password, const QString &token)
    {
        field<QLineEdit>("FieldCompanyCode")->setText(company);
        field<QLineEdit>("FieldUsername")->setText(user);
        field<QLineEdit>("FieldPassword")->setText(password);
        field<QLineEdit>("FieldToken")->setText(token);
        QTest::mouseClick(field<QPushButton>("ButtonOk"), Qt::LeftButton);
    }

    QStringList panelExtensions() const
    {
        QStringList out;
        for (const auto &account : m_window->getAccounts())
            out << account->getExtension();
        return out;
    }

    bool allRegistered() const
    {
        for (const auto &account : m_window->getAccounts()) {
            if (!account->isRegistered())
                return false;
        }
        return !m_window->getAccounts().empty();
    }

private slots:

    void initTestCase()
    {
        QVERIFY(m_panel.open({}));
        QVERIFY(m_panel.startCloud(QString()));
        m_settings = m_panel.settings.get();
        m_panel.answerWith([this](const Prompt::Question &q) {
            if (q.text == QLatin1String("Load configurations?"))
                return m_loadAnswer;
            if (q.text == QLatin1String("Extension configurations found"))
                return Prompt::Choice2; // Merge
            return (q.buttons & Prompt::Yes) ? Prompt::Yes : q.defaultButton;
        });
        QVERIFY(m_panel.show([this](Orvalo &window) {
            m_window = &window;
            m_login = std::make_unique<LoginManager>(window, *m_settings, *m_panel.db);
            window.setLoginWindows(m_login.get());
        }));
        // Nobody is logged in: start-up opens the login window.
        m_window->show_login_if_not_loggedin();
        QVERIFY(dialog() && dialog()->isVisible());
        QVERIFY(dialog()->isModal());
        QVERIFY(dialog()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QTRY_VERIFY_WITH_TIMEOUT(field<QPushButton>("ButtonOk")->isEnabled(), 10000);
        dialog()->close();
    }

    void cleanupTestCase()
    {
        m_login.reset();
        m_panel.close();
    }

    // Each failure leaves the panel logged out with the login window telling why (or gone).
    void failures_data()
    {
        QTest::addColumn<QString>("failure"); // control line for the simulator
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("status"); // "" when the hello check already fails

        QTest::newRow("wrong password")
            << QString() << QStringLiteral("nope") << QString() << QStringLiteral("Invalid credentials");
        QTest::newRow("unknown token") << QString() << QString() << QStringLiteral("tok-nobody")
                                       << QStringLiteral("Invalid or expired token");
        QTest::newRow("refused") << QStringLiteral("fail kvusers/v1/get_orvalo_login_device_details refuse")
                                 << QStringLiteral("operator-pw") << QString()
                                 << QStringLiteral("Invalid credentials");
        QTest::newRow("garbage") << QStringLiteral("fail kvusers/v1/get_orvalo_login_device_details garbage")
                                 << QStringLiteral("operator-pw") << QString()
                                 << QStringLiteral("System error");
        QTest::newRow("empty body") << QStringLiteral("fail kvusers/v1/get_orvalo_login_device_details empty")
                                    << QStringLiteral("operator-pw") << QString()
                                    << QStringLiteral("System error");
        QTest::newRow("wrong shape: no device, login completes")
            << QStringLiteral("fail kvusers/v1/get_orvalo_login_device_details wrongshape")
            << QStringLiteral("operator-pw") << QString() << QStringLiteral("logged in");
        QTest::newRow("hello not Hello") << QStringLiteral("fail kvusers/v1/hello garbage")
                                         << QStringLiteral("operator-pw") << QString() << QString();
        QTest::newRow("never answers: Cancel closes")
            << QStringLiteral("fail kvusers/v1/get_orvalo_login_device_details never")
            << QStringLiteral("operator-pw") << QString() << QStringLiteral("Logging in...");
        QTest::newRow("late reply after Cancel is dropped")
            << QStringLiteral("fail kvusers/v1/get_orvalo_login_device_details slow:800")
            << QStringLiteral("operator-pw") << QString() << QStringLiteral("Logging in...");
    }

    void failures()
    {
        QFETCH(QString, failure);
        QFETCH(QString, password);
        QFETCH(QString, token);
        QFETCH(QString, status);
        QVERIFY(m_cloud.command(QStringLiteral("clear")));
        if (!failure.isEmpty())
            QVERIFY(m_cloud.command(failure));
        const qsizetype asked = m_panel.prompt->asked().size();

        if (status.isEmpty()) {
            m_window->form()->actionLogin->trigger();
            QTRY_VERIFY_WITH_TIMEOUT(m_panel.prompt->asked().size() > asked, 10000);
            const Prompt::Question &q = m_panel.prompt->asked().last();
            QCOMPARE(q.icon, Prompt::Icon::Critical);
            QCOMPARE(q.title, QStringLiteral("Error"));
            QCOMPARE(
                q.text, QStringLiteral("Failed to contact Brisko web admin.\nCheck setting and try again."));
            QVERIFY(!field<QPushButton>("ButtonOk")->isEnabled());
            QVERIFY(!field<QLineEdit>("FieldUsername")->isEnabled());
            QVERIFY(field<QPushButton>("ButtonCancel")->isEnabled());
            QTest::mouseClick(field<QPushButton>("ButtonCancel"), Qt::LeftButton);
            QVERIFY(!dialog()->isVisible());
            return;
        }

        QVERIFY(openLogin());
        submit(QStringLiteral("demo"), QStringLiteral("operator"), password, token);
        QCOMPARE(dialog()->statusText(), QStringLiteral("Logging in..."));
        QVERIFY(!field<QPushButton>("ButtonOk")->isEnabled());
        QVERIFY(m_cloud.waitForRequest(LoginPath, 10000).valid());
        if (status == QLatin1String("logged in")) {
            QTRY_VERIFY_WITH_TIMEOUT(m_window->isLoggedIn(), 10000);
            QVERIFY(!dialog()->isVisible());
            QCOMPARE(provisionedRows(), 0);
            // Back to logged out for the next row.
            m_window->form()->actionLogin->trigger();
            QVERIFY(!m_window->isLoggedIn());
            dialog()->close();
            return;
        }
        if (status == QLatin1String("Logging in...")) {
            // Still waiting: the window answers and Cancel closes it; a reply that comes later,
            // also to a window already replaced by a new one, changes nothing.
            QTest::mouseClick(field<QPushButton>("ButtonCancel"), Qt::LeftButton);
            QVERIFY(!dialog()->isVisible());
            QVERIFY(m_cloud.command(QStringLiteral("clear")));
            QVERIFY(openLogin());
            dialog()->close();
            QTest::qWait(1200);
            QVERIFY(!m_window->isLoggedIn());
            QCOMPARE(provisionedRows(), 0);
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(dialog()->statusText(), status, 10000);
        QVERIFY(field<QPushButton>("ButtonOk")->isEnabled());
        QVERIFY(dialog()->isVisible());
        QVERIFY(!m_window->isLoggedIn());
        dialog()->close();
    }

    // Credentials: both devices chosen, written, listed and registered at the registrar.
    void loginWithCredentials()
    {
        QVERIFY(m_cloud.command(QStringLiteral("clear")));
        QVERIFY(openLogin());
        chooseRows({0, 1});
        submit(
            QStringLiteral(" demo "), QStringLiteral("operator"), QStringLiteral("operator-pw"), QString());
        const auto request = m_cloud.waitForRequest(LoginPath, 10000);
        QCOMPARE(request.header("Authorization"), basic(QStringLiteral("operator@demo:operator-pw")));
        QTRY_VERIFY_WITH_TIMEOUT(m_window->isLoggedIn(), 10000);
        QVERIFY(!dialog()->isVisible());
        QCOMPARE(panelExtensions(), (QStringList {QStringLiteral("1001"), QStringLiteral("1003")}));
        QTRY_VERIFY_WITH_TIMEOUT(allRegistered(), 10000);
        QCOMPARE(provisionedRows(), 2);
        QCOMPARE(m_window->form()->actionLogin->text(), QStringLiteral("Logout"));
        QVERIFY(m_window->footerLabel()->text().contains(QStringLiteral("Orvalo Demo")));
    }

    // Logout drops and unregisters the provisioned extensions; a token login brings the other
    // user's devices (the token wins over the password typed beside it).
    void logoutThenTokenLogin()
    {
        QVERIFY(m_window->isLoggedIn());
        m_window->form()->actionLogin->trigger(); // "Are you sure?" Yes
        QVERIFY(!m_window->isLoggedIn());
        QCOMPARE(m_window->form()->actionLogin->text(), QStringLiteral("Login"));
        QVERIFY(m_window->getAccounts().empty());
        QCOMPARE(provisionedRows(), 0);
        QVERIFY(m_window->footerLabel()->text().isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(dialog() && field<QPushButton>("ButtonOk")->isEnabled(), 10000);

        chooseRows({1});
        submit(QString(), QStringLiteral("operator"), QStringLiteral("operator-pw"),
            QStringLiteral("tok-second"));
        const auto request = m_cloud.waitForRequest(LoginPath, 10000);
        QCOMPARE(request.header("Authorization"), basic(QStringLiteral("tok-second:")));
        QTRY_VERIFY_WITH_TIMEOUT(m_window->isLoggedIn(), 10000);
        QCOMPARE(panelExtensions(), QStringList {QStringLiteral("1006")});
        QTRY_VERIFY_WITH_TIMEOUT(allRegistered(), 10000);
    }
};

QTEST_MAIN(TestLoginEndToEnd)
#include "tst_login_e2e.moc"
