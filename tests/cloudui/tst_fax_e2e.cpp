// The fax window against the cloud simulator: a fax reaches its final status, a failing
// destination and an error reply show their texts, and closing the window ends the polling, even
// with a request in flight.
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "cloud/faxjob.h"
#include "cloud/kesapi.h"
#include "cloudui/faxsenddialog.h"
#include "cloudui/faxwindowmanager.h"
#include "core/prompt.h"
#include "core/settings.h"
#include "support/cloudsim.h"

class TestFaxE2e final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    testbed::CloudSim m_cloud;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<Kesapi> m_kesapi;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<FaxWindowManager> m_faxes;
    QString m_pdf;

    // Opens a window to `destination`, picks the PDF and presses Send.
    FaxSendDialog *send(const QString &destination, int pollMs = 100)
    {
        m_faxes->openFax(QStringLiteral("100123"), destination);
        FaxSendDialog *window = m_faxes->windows().last();
        window->job().setPollInterval(pollMs);
        window->setFilePicker([this] { return m_pdf; });
        QTest::mouseClick(
            window->findChild<QPushButton *>(QStringLiteral("buttonSelectfile")), Qt::LeftButton);
        window->findChild<QRadioButton *>(QStringLiteral("radioQualitySuperfine"))->setChecked(true);
        QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("buttonSendfax")), Qt::LeftButton);
        return window;
    }

    static QLabel *status(FaxSendDialog *window)
    {
        return window->findChild<QLabel *>(QStringLiteral("labelDestination1status"));
    }

    int viewRequests() const
    {
        int n = 0;
        for (const auto &r : m_cloud.requests())
            n += r.path.contains(QLatin1String("faxcdrs/v1/view")) ? 1 : 0;
        return n;
    }

private slots:

    void initTestCase()
    {
        QVERIFY2(
            m_cloud.start({QStringLiteral("--fax-fail"), QStringLiteral("666")}), qPrintable(m_cloud.log()));
        m_settings = std::make_unique<Settings>(m_dir.path());
        m_kesapi = std::make_unique<Kesapi>(*m_settings);
        m_kesapi->setBriskoCloudApiUrl(m_cloud.baseUrl());
        m_kesapi->setLogin(QStringLiteral("tok-operator"));
        m_prompt = std::make_unique<ScriptedPrompt>();
        Prompt::install(m_prompt.get());
        m_faxes = std::make_unique<FaxWindowManager>(*m_settings, *m_kesapi);
        m_pdf = m_dir.filePath(QStringLiteral("letter.pdf"));
        QFile pdf(m_pdf);
        QVERIFY(pdf.open(QIODevice::WriteOnly));
        pdf.write("%PDF-1.4\n% a letter\n%%EOF\n");
    }

    void cleanupTestCase()
    {
        m_faxes.reset();
        Prompt::install(nullptr);
    }

    void init() { QVERIFY(m_cloud.command(QStringLiteral("clear"))); }

    void faxReachesItsFinalStatus_data()
    {
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("finalStatus");
        QTest::newRow("delivered") << QStringLiteral("555") << QStringLiteral("Sent OK");
        QTest::newRow("failing destination") << QStringLiteral("666") << QStringLiteral("Failed: no answer");
    }

    void faxReachesItsFinalStatus()
    {
        QFETCH(QString, destination);
        QFETCH(QString, finalStatus);
        FaxSendDialog *window = send(destination);
        const auto sent
            = m_cloud.waitForRequest(QRegularExpression(QStringLiteral("faxapi/faxcdrs/v1/sendfax$")));
        QCOMPARE(sent.status, 200);
        QCOMPARE(window->findChild<QPushButton *>(QStringLiteral("buttonCancel"))->text(),
            QStringLiteral("Close"));
        QVERIFY(!window->findChild<QPushButton *>(QStringLiteral("buttonSendfax"))->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(status(window)->text(), finalStatus, 5000);
        QVERIFY(window->job().extref().endsWith(QLatin1String("-1001")));
        window->close();
        QVERIFY(m_prompt->asked().isEmpty());
    }

    void errorReplyShowsItsTextAndStopsPolling()
    {
        QVERIFY(m_cloud.command(QStringLiteral("fail faxcdrs/v1/sendfax refuse")));
        const qsizetype asked = m_prompt->asked().size();
        FaxSendDialog *window = send(QStringLiteral("555"));
        QTRY_COMPARE_WITH_TIMEOUT(m_prompt->asked().size(), asked + 1, 5000);
        QCOMPARE(m_prompt->asked().last().title, QStringLiteral("Error"));
        QCOMPARE(m_prompt->asked().last().text, QStringLiteral("Refused"));
        const int views = viewRequests();
        QTest::qWait(500);
        QCOMPARE(viewRequests(), views);
        QVERIFY(window->job().isStopped());
        window->close();
    }

    void garbageAndStalledStatusKeepPolling()
    {
        QVERIFY(m_cloud.command(QStringLiteral("fax 777 stall")));
        FaxSendDialog *window = send(QStringLiteral("777"));
        QTRY_COMPARE_WITH_TIMEOUT(status(window)->text(), QStringLiteral("Queued"), 5000);
        QVERIFY(m_cloud.command(QStringLiteral("fail faxcdrs/v1/view garbage")));
        const int views = viewRequests();
        QTRY_VERIFY_WITH_TIMEOUT(viewRequests() >= views + 3, 5000);
        QCOMPARE(status(window)->text(), QStringLiteral("Queued"));
        QVERIFY(!window->job().isStopped());
        window->close();
    }

    void closingEndsPollingEvenWithARequestInFlight()
    {
        QVERIFY(m_cloud.command(QStringLiteral("fail faxcdrs/v1/view slow:800")));
        QPointer<FaxSendDialog> window = send(QStringLiteral("555"), 50);
        // The send reply came, the first view request is on its way and will be answered late.
        QTRY_VERIFY_WITH_TIMEOUT(!status(window)->text().isEmpty(), 5000);
        QTest::qWait(200);
        window->close();
        QTRY_VERIFY(window.isNull()); // the window is gone before its reply arrives
        const int views = viewRequests();
        QTest::qWait(1500);
        QCOMPARE(viewRequests(), views);
        QVERIFY(m_faxes->windows().isEmpty());
    }

    void refusedBeforeSending_data()
    {
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("warning");
        QTest::newRow("blank destination")
            << QStringLiteral("  ") << QStringLiteral("letter.pdf") << QStringLiteral("No destination set");
        QTest::newRow("no file") << QStringLiteral("555") << QString() << QStringLiteral("No file selected");
        QTest::newRow("missing file") << QStringLiteral("555") << QStringLiteral("gone.pdf")
                                      << QStringLiteral("The file does not exist");
    }

    void refusedBeforeSending()
    {
        QFETCH(QString, destination);
        QFETCH(QString, file);
        QFETCH(QString, warning);
        m_faxes->openFax(QStringLiteral("1001"), destination);
        FaxSendDialog *window = m_faxes->windows().last();
        const QString path = file.isEmpty() ? QString() : m_dir.filePath(file);
        window->setFilePicker([path] { return path; });
        QTest::mouseClick(
            window->findChild<QPushButton *>(QStringLiteral("buttonSelectfile")), Qt::LeftButton);
        const int before = m_cloud.requests().size();
        QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("buttonSendfax")), Qt::LeftButton);
        QCOMPARE(m_prompt->asked().last().text, warning);
        QVERIFY(window->findChild<QPushButton *>(QStringLiteral("buttonSendfax"))->isEnabled());
        QTest::qWait(200);
        QCOMPARE(m_cloud.requests().size(), before);
        window->close();
    }
};

QTEST_MAIN(TestFaxE2e)
#include "tst_fax_e2e.moc"
