// The SIP log and the call quality logger opened from the main window's Help menu, against a
// registrar and a scripted peer that calls the panel (over a lossy path for the quality figures).

#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSpinBox>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include "core/asset.h"
#include "core/dbmgr.h"
#include "core/log.h"
#include "core/prompt.h"
#include "core/settings.h"
#include "diagnostics/qualitysampler.h"
#include "diagnosticsui/diagnosticwindows.h"
#include "diagnosticsui/rtcplogger.h"
#include "diagnosticsui/scrollbackview.h"
#include "diagnosticsui/siplog.h"
#include "panel/account.h"
#include "panel/call.h"
#include "panel/orvalo.h"
#include "support/testbed.h"
#include "ui_orvalo.h"

class TestDiagnosticsE2e final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    testbed::Kamailio m_proxy;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<dbmgr> m_db;
    std::unique_ptr<Asset> m_asset;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<DiagnosticWindows> m_windows;
    std::unique_ptr<Orvalo> m_window;

    Account &account() { return *m_window->getAccounts().front(); }

    // The peer calls the panel, which answers; returns the answered call.
    Call *answeredCallFrom(testbed::SipPeer &peer)
    {
        peer.command(QStringLiteral("call ") + m_proxy.uri(QStringLiteral("1001")));
        if (!QTest::qWaitFor([this] { return account().getActiveCall() != nullptr; }, 10000))
            return nullptr;
        if (!peer.waitForEvent(QStringLiteral("^EVENT call .*state=OutgoingRinging")).hasMatch())
            return nullptr;
        m_window->on_AnswerButton_clicked();
        if (!peer.waitForEvent(QStringLiteral("^EVENT call .*state=StreamsRunning")).hasMatch())
            return nullptr;
        Call *call = account().getActiveCall();
        return call && QTest::qWaitFor([call] { return call->getCallAnswered(); }, 5000) ? call : nullptr;
    }

    void hangUp(testbed::SipPeer &peer)
    {
        peer.command(QStringLiteral("hangup"));
        QVERIFY(peer.waitForEvent(QStringLiteral("^EVENT call .*state=Released")).hasMatch());
        QTRY_VERIFY_WITH_TIMEOUT(account().getCalls().empty(), 5000);
    }

private slots:

    void initTestCase()
    {
        QVERIFY2(m_proxy.start(false, 5060), qPrintable(m_proxy.log()));
        const QString tone = m_dir.filePath(QStringLiteral("panel-700.wav"));
        QVERIFY(testbed::writeToneWav(tone, 700, 60000, 16000));
        qputenv("ORVALO_FILECARD_IN", tone.toUtf8());
        qputenv("ORVALO_FILECARD_OUT", m_dir.filePath(QStringLiteral("panel-heard.wav")).toUtf8());

        m_settings = std::make_unique<Settings>(m_dir.path());
        m_db = std::make_unique<dbmgr>(*m_settings);
        QVERIFY(m_db->open());
        m_settings->loadDefaultSettings();
        m_settings->setSetting(Settings::EnableSIPLog, QStringLiteral("1"));
        m_settings->setSetting(Settings::EnableRTCP, QStringLiteral("1"));
        Log::set_output_file(m_dir.filePath(QStringLiteral("log")));
        QSqlQuery q;
        QVERIFY(q.exec(QStringLiteral(
            "INSERT INTO accounts (accountname, extension, domain, user, password, sipserveraddress, "
            "sipport, registrationtime, audiocodecs, dtmftype, activeaccount, defaultaccount, companydevice) "
            "VALUES ('Desk 1001', '1001', '127.0.0.1', '1001', '', '127.0.0.1', '5060', 300, 'ulaw,alaw', "
            "'RFC2833', 1, 1, 0)")));
        m_asset = std::make_unique<Asset>(m_dir.path());
        m_prompt = std::make_unique<ScriptedPrompt>();
        Prompt::install(m_prompt.get());

        m_windows = std::make_unique<DiagnosticWindows>(*m_settings, *m_db);
        m_window = std::make_unique<Orvalo>(*m_db, *m_settings, *m_asset);
        QVERIFY(m_window->startedOk());
        m_window->setToolWindows(m_windows.get());
        m_window->callconnects();
        m_window->show();
        QTRY_VERIFY_WITH_TIMEOUT(account().isRegistered(), 10000);
    }

    void cleanupTestCase()
    {
        m_window.reset();
        m_windows.reset();
        Prompt::install(nullptr);
    }

    void sipLogShowsCallsOnlyWhileCapturing()
    {
        Ui::Orvalo &form = *m_window->form();
        QVERIFY(form.actionSip_Logger->isEnabled());
        form.actionSip_Logger->trigger();
        SipLog *log = m_windows->sipLog();
        QVERIFY(log && log->isVisible());
        auto *startStop = log->findChild<QPushButton *>(QStringLiteral("button_startstop"));
        auto *clear = log->findChild<QPushButton *>(QStringLiteral("button_clear"));
        auto *scrollback = log->findChild<QSpinBox *>(QStringLiteral("field_scrollbacklines"));
        auto *view = log->findChild<QPlainTextEdit *>(QStringLiteral("log"));
        QVERIFY(startStop && clear && scrollback && view);

        testbed::SipPeer bob;
        QVERIFY(testbed::startRegistered(bob, m_proxy, QStringLiteral("1002")));
        // Stopped: a whole call leaves nothing, not even once capture starts.
        QVERIFY(answeredCallFrom(bob));
        hangUp(bob);
        QTest::mouseClick(startStop, Qt::LeftButton);
        QCOMPARE(startStop->text(), QStringLiteral("Stop"));
        QTest::qWait(2 * SipLog::FlushIntervalMs);
        QVERIFY2(
            !view->toPlainText().contains(QLatin1String("INVITE sip:1001")), qPrintable(view->toPlainText()));

        scrollback->setValue(1000);
        QVERIFY(answeredCallFrom(bob));
        QTRY_VERIFY_WITH_TIMEOUT(view->toPlainText().contains(QLatin1String("INVITE sip:1001@")), 3000);
        QVERIFY(clear->isEnabled());
        hangUp(bob);

        // The limit holds while lines keep coming, and Stop ends the capture.
        scrollback->setValue(20);
        QVERIFY(view->document()->blockCount() <= 20);
        QVERIFY(answeredCallFrom(bob));
        QTest::qWait(2 * SipLog::FlushIntervalMs);
        QCOMPARE(log->view()->buffer().lineCount(), 20);
        QVERIFY(view->document()->blockCount() <= 20);
        QTest::mouseClick(startStop, Qt::LeftButton);
        QCOMPARE(startStop->text(), QStringLiteral("Start"));
        const QString frozen = view->toPlainText();
        hangUp(bob);
        QTest::qWait(2 * SipLog::FlushIntervalMs);
        QCOMPARE(view->toPlainText(), frozen);
        QTest::mouseClick(clear, Qt::LeftButton);
        QVERIFY(view->toPlainText().isEmpty());
        QVERIFY(!clear->isEnabled());
        bob.stop();
    }

    void qualityLoggerFiguresFollowTheLoss_data()
    {
        QTest::addColumn<int>("lossPercent");
        QTest::newRow("clean path") << 0;
        QTest::newRow("30 % of the peer's packets dropped") << 30;
    }

    void qualityLoggerFiguresFollowTheLoss()
    {
        QFETCH(int, lossPercent);
        Ui::Orvalo &form = *m_window->form();
        form.actionRTCP_Logger->trigger();
        RTCPLogger *logger = m_windows->qualityLogger();
        QVERIFY(logger && logger->isVisible());
        auto *startStop = logger->findChild<QPushButton *>(QStringLiteral("ButtonStartStop"));
        auto *view = logger->findChild<QPlainTextEdit *>(QStringLiteral("TextEditLog"));
        QVERIFY(startStop && view);
        QSignalSpy lines(&m_window->qualitySampler(), &QualitySampler::line);

        // Running without an answered call: nothing comes.
        QTest::mouseClick(startStop, Qt::LeftButton);
        QVERIFY(m_window->qualitySampler().isRunning());
        testbed::SipPeer bob;
        QVERIFY(testbed::startRegistered(
            bob, m_proxy, QStringLiteral("1002"), {QStringLiteral("--loss"), QString::number(lossPercent)}));
        QVERIFY(answeredCallFrom(bob));
        // A line per sample, five seconds apart; the third has the far end's reports in it.
        QTRY_VERIFY_WITH_TIMEOUT(lines.size() >= 3, 18000);
        // The README's picture of the logger during a call: ORVALO_SCREENSHOT=file.png.
        if (const QString shot = qEnvironmentVariable("ORVALO_SCREENSHOT");
            !shot.isEmpty() && lossPercent > 0)
            QVERIFY(logger->grab().save(shot));
        QTest::mouseClick(startStop, Qt::LeftButton);
        QVERIFY(!m_window->qualitySampler().isRunning());
        hangUp(bob);
        bob.stop();

        static const QRegularExpression format(QStringLiteral(
            "^\\d\\d-\\w{3}-\\d{4} \\d\\d:\\d\\d:\\d\\d Local: Lost (\\d+) Maxjit (\\d+) Minjit (\\d+)  "
            "Remote: Lost (\\d+) Maxjit (\\d+) Minjit (\\d+)  RTT: Now (\\d+) Max (\\d+) Min (\\d+) "
            "( Quality \\d\\.\\d )?\\n$"));
        const QString last = lines.last().first().toString();
        const QRegularExpressionMatch m = format.match(last);
        QVERIFY2(m.hasMatch(), qPrintable(last));
        // The peer drops that share of what the panel sends; its reports come back as "Local".
        const qint64 sentLost = m.captured(1).toLongLong();
        if (lossPercent == 0)
            QCOMPARE(sentLost, 0);
        else
            QVERIFY2(sentLost > 0, qPrintable(last));
        QCOMPARE(m.captured(4).toLongLong(), 0); // nothing is lost on the way in
        qInfo().noquote() << last.trimmed();
        QVERIFY2(m.captured(8).toLongLong() > 0, qPrintable(last)); // a round trip was measured
        QVERIFY(view->toPlainText().contains(last.trimmed()));
    }
};

QTEST_MAIN(TestDiagnosticsE2e)
#include "tst_diagnostics_e2e.moc"
