#include <QElapsedTimer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include "core/dbmgr.h"
#include "core/settings.h"
#include "diagnostics/connectiontester.h"
#include "diagnostics/tokencheck.h"
#include "diagnosticsui/connectiontesterdialog.h"
#include "support/cloudsim.h"

using namespace TesterHtml;

Q_DECLARE_METATYPE(TokenVerdict)

namespace {
// The network ping, one step per extension (1000 ms apart) and the token check all fit in this.
constexpr int RunLimit = 30000;

// Accepts connections on 127.0.0.1 and keeps what each one sent.
class Listener final : public QTcpServer
{
public:
    QByteArray received;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QTcpSocket(this);
        socket->setSocketDescriptor(descriptor);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { received += socket->readAll(); });
    }
};

// A port on 127.0.0.1 that nothing listens on (taken and released at once).
quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}
} // namespace

class TestConnectionTester final : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<dbmgr> m_db;
    std::unique_ptr<ConnectionTesterDialog> m_window;

    void addExtension(const QString &name, const QString &server, const QString &port)
    {
        QSqlQuery q = m_db->account_query();
        q.prepare(QStringLiteral("INSERT INTO accounts (accountname, extension, domain, sipserveraddress, "
                                 "sipport) VALUES (:name, '2001', :server, :server, :port)"));
        q.bindValue(QStringLiteral(":name"), name);
        q.bindValue(QStringLiteral(":server"), server);
        q.bindValue(QStringLiteral(":port"), port);
        QVERIFY(q.exec());
    }

    QPushButton *button(const char *name) const
    {
        return m_window->findChild<QPushButton *>(QLatin1String(name));
    }

    QTextEdit *results() const { return m_window->findChild<QTextEdit *>(QStringLiteral("results")); }

    // Clicks Start and returns every piece of the results table once the run has ended.
    QStringList run()
    {
        QSignalSpy pieces(&m_window->tester(), &ConnectionTester::html);
        QSignalSpy finished(&m_window->tester(), &ConnectionTester::finished);
        QTest::mouseClick(button("button_start"), Qt::LeftButton);
        if (!finished.wait(RunLimit))
            return {QStringLiteral("(no end)")};
        QStringList all;
        for (const QList<QVariant> &piece : std::as_const(pieces))
            all << piece.at(0).toString();
        return all;
    }

    // What a run without extensions shows before its token rows: the network ping fails, as
    // 8.8.8.8 cannot be reached from the test's loopback-only network.
    static QStringList head() { return {tableStart(), resultRow(NetworkPing, false)}; }

private slots:

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_settings = std::make_unique<Settings>(m_dir->path());
        m_db = std::make_unique<dbmgr>(*m_settings);
        QVERIFY(m_db->open());
        m_window = std::make_unique<ConnectionTesterDialog>(*m_settings, *m_db);
        m_window->show();
    }

    void cleanup()
    {
        m_window.reset();
        m_db.reset();
        m_settings.reset();
        m_dir.reset();
    }

    // One extension per case, in the order of the table: its ping and its SIP port.
    void sipServersPassAndFail()
    {
        Listener sip;
        QVERIFY(sip.listen(QHostAddress::LocalHost));
        const QString open = QString::number(sip.serverPort());
        addExtension(QStringLiteral("Reachable"), QStringLiteral("127.0.0.1"), open);
        addExtension(
            QStringLiteral("Closed port"), QStringLiteral("127.0.0.1"), QString::number(closedPort()));
        // Reachable by name, yet the port check takes only an address.
        addExtension(QStringLiteral("By name"), QStringLiteral("localhost"), open);
        addExtension(QStringLiteral("Nowhere"), QStringLiteral("192.0.2.1"), open);
        addExtension(QStringLiteral("<b>Desk</b> & co"), QStringLiteral("127.0.0.1"), QStringLiteral("none"));
        addExtension(QStringLiteral("No server"), QString(), open);

        QElapsedTimer clock;
        clock.start();
        const QStringList pieces = run();
        QStringList expected = head();
        const auto extension = [&expected](int id, const QString &name, bool ping, bool port) {
            expected << spacerRow() << extensionRow(id, name) << resultRow(ServerPing, ping)
                     << resultRow(SipPort, port);
        };
        extension(1, QStringLiteral("Reachable"), true, true);
        extension(2, QStringLiteral("Closed port"), true, false);
        extension(3, QStringLiteral("By name"), true, false);
        extension(4, QStringLiteral("Nowhere"), false, false);
        extension(5, QStringLiteral("<b>Desk</b> & co"), true, false);
        // No server address: not tested. The cloud address is empty: no service.
        expected << tableEnd() << resultRow(RestConnection, false);
        QCOMPARE(pieces, expected);
        QCOMPARE(sip.received, QByteArray("ping"));
        // A step waits 1000 ms after the previous one (a timer may fire 5 % early): five extensions
        // and the token check.
        QVERIFY2(clock.elapsed() >= 6 * 950, qPrintable(QString::number(clock.elapsed())));

        // The table as the window shows it: each cell once, in order, the name as text.
        const QString text = results()->toPlainText().simplified();
        QVERIFY2(
            text.startsWith(QStringLiteral("Network ping test Fail Extension 1 (Reachable) SIP Server ping "
                                           "test Pass SIP port test Pass Extension 2 (Closed port)")),
            qPrintable(text));
        QVERIFY2(text.endsWith(QStringLiteral("Extension 5 (<b>Desk</b> & co) SIP Server ping test Pass SIP "
                                              "port test Fail REST API Connection Fail")),
            qPrintable(text));
        const QString html = results()->toHtml();
        QCOMPARE(html.count(QStringLiteral("color:#008000;\">Pass")), 5);
        QCOMPARE(html.count(QStringLiteral("color:#ff0000;\">Fail")), 7);
    }

    // Stop lets the running step end and starts no other; Clear empties the results.
    void stopAndClear()
    {
        Listener sip;
        QVERIFY(sip.listen(QHostAddress::LocalHost));
        for (int i = 0; i < 3; ++i)
            addExtension(QStringLiteral("Desk %1").arg(i), QStringLiteral("127.0.0.1"),
                QString::number(sip.serverPort()));
        QSignalSpy pieces(&m_window->tester(), &ConnectionTester::html);
        QSignalSpy finished(&m_window->tester(), &ConnectionTester::finished);
        QTest::mouseClick(button("button_start"), Qt::LeftButton);
        // Table, network ping, the first extension's four rows; the next step is 1000 ms away.
        QTRY_COMPARE_WITH_TIMEOUT(pieces.size(), 6, RunLimit);
        QTest::mouseClick(button("button_stop"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, RunLimit);
        QCOMPARE(pieces.size(), 6);
        QCOMPARE(pieces.last().at(0).toString(), resultRow(SipPort, true));
        QTest::qWait(2500); // two more steps' time: nothing comes
        QCOMPARE(pieces.size(), 6);
        QVERIFY(!m_window->tester().isRunning());

        QVERIFY(results()->toPlainText().contains(QStringLiteral("Desk 0")));
        QTest::mouseClick(button("button_clear"), Qt::LeftButton);
        QVERIFY(results()->toPlainText().trimmed().isEmpty());
        QVERIFY(!results()->toHtml().contains(QStringLiteral("Desk 0")));
    }

    // The token check against the simulator, whose base address is stored with its scheme.
    void tokenCheck_data()
    {
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("mode"); // of check_token
        QTest::addColumn<QStringList>("rows");
        const QString pass = resultRow(RestConnection, true);
        const QString fail = resultRow(RestConnection, false);
        QTest::newRow("valid") << QStringLiteral("tok-operator") << QString()
                               << QStringList {pass, resultRow(RestToken, true)};
        QTest::newRow("invalid") << QStringLiteral("tok-nobody") << QString()
                                 << QStringList {pass, resultRow(RestToken, false)};
        QTest::newRow("error page") << QStringLiteral("tok-operator") << QStringLiteral("garbage")
                                    << QStringList {fail};
        QTest::newRow("closed") << QStringLiteral("tok-operator") << QStringLiteral("close")
                                << QStringList {fail};
    }

    void tokenCheck()
    {
        QFETCH(QString, token);
        QFETCH(QString, mode);
        QFETCH(QStringList, rows);
        testbed::CloudSim cloud;
        QStringList args;
        if (!mode.isEmpty())
            args << QStringLiteral("--fail") << QStringLiteral("kvusers/v1/check_token=") + mode;
        QVERIFY2(cloud.start(args), qPrintable(cloud.log()));
        m_settings->setSetting(Settings::BriskoCloudApiUrl, cloud.baseUrl());
        m_settings->setSetting(Settings::AuthenticationToken, token);

        QCOMPARE(run(), head() << tableEnd() << rows);
        const auto request = cloud.waitForRequest(QRegularExpression(QStringLiteral("check_token$")));
        QVERIFY2(request.valid(), qPrintable(cloud.log()));
        QCOMPARE(request.method, QStringLiteral("POST"));
        QCOMPARE(request.path, QStringLiteral("/briskogui//cloudapi/kvusers/v1/check_token"));
        QCOMPARE(request.header("Authorization"), "Basic " + QByteArray(token.toUtf8() + ':').toBase64());
    }

    // A service that never answers: the request is given up after 5000 ms, and the window takes
    // clicks meanwhile.
    void neverAnsweringService()
    {
        testbed::CloudSim cloud;
        QVERIFY2(cloud.start({QStringLiteral("--fail"), QStringLiteral("kvusers/v1/check_token=never")}),
            qPrintable(cloud.log()));
        m_settings->setSetting(Settings::BriskoCloudApiUrl, cloud.baseUrl());
        m_settings->setSetting(Settings::AuthenticationToken, QStringLiteral("tok-operator"));
        QSignalSpy pieces(&m_window->tester(), &ConnectionTester::html);
        QSignalSpy finished(&m_window->tester(), &ConnectionTester::finished);
        QTest::mouseClick(button("button_start"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!pieces.isEmpty() && pieces.last().at(0).toString() == tableEnd(), RunLimit);
        QElapsedTimer clock;
        clock.start();

        QTest::qWait(1000);
        QTest::mouseClick(button("button_clear"), Qt::LeftButton);
        QVERIFY(results()->toPlainText().trimmed().isEmpty());
        QVERIFY(finished.isEmpty());

        QVERIFY(finished.wait(RunLimit));
        const qint64 waited = clock.elapsed();
        QVERIFY2(waited >= 4750 && waited < 8000, qPrintable(QString::number(waited)));
        QCOMPARE(pieces.last().at(0).toString(), resultRow(RestConnection, false));
        QCOMPARE(results()->toPlainText().simplified(), QStringLiteral("REST API Connection Fail"));
    }

    // What the simulator does not send: the body alone does not make a valid token.
    void verdictOfReply_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<TokenVerdict>("verdict");
        QTest::newRow("yes from an error status") << QByteArray("Yes") << 500 << TokenVerdict::TokenRefused;
        QTest::newRow("no from an error status") << QByteArray("No") << 401 << TokenVerdict::TokenRefused;
        QTest::newRow("line feed") << QByteArray("Yes\n") << 200 << TokenVerdict::NoService;
        QTest::newRow("lower case") << QByteArray("yes") << 200 << TokenVerdict::NoService;
    }

    void verdictOfReply()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(TokenVerdict, verdict);
        QCOMPARE(tokenVerdict(body, status), verdict);
    }
};

QTEST_MAIN(TestConnectionTester)
#include "tst_connectiontester.moc"
