// The SIP log and the call quality logger opened from the main window's Help menu, against a
// registrar and a scripted peer that calls the panel (over a lossy path for the quality figures).

#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSpinBox>

#include "core/log.h"
#include "diagnostics/qualitysampler.h"
#include "diagnosticsui/diagnosticwindows.h"
#include "diagnosticsui/rtcplogger.h"
#include "diagnosticsui/scrollbackview.h"
#include "diagnosticsui/siplog.h"
#include "panel/panelfixture.h"
#include "ui_orvalo.h"

class TestDiagnosticsE2e final : public QObject
{
    Q_OBJECT

    PanelFixture m_panel;
    testbed::Kamailio &m_proxy = m_panel.proxy;
    std::unique_ptr<DiagnosticWindows> m_windows;

    Account &account() { return m_panel.desk(); }

    Call *answeredCallFrom(testbed::SipPeer &peer) { return m_panel.answeredCallFrom(peer); }

    void hangUp(testbed::SipPeer &peer)
    {
        peer.command(QStringLiteral("hangup"));
        QVERIFY(peer.waitForEvent(QStringLiteral("^EVENT call .*state=Released")).hasMatch());
        QTRY_VERIFY_WITH_TIMEOUT(account().getCalls().empty(), 5000);
    }

private slots:

    void initTestCase()
    {
        QVERIFY(m_panel.useFileCard(700, 16000));
        QVERIFY(m_panel.open());
        m_panel.settings->setSetting(Settings::EnableSIPLog, QStringLiteral("1"));
        m_panel.settings->setSetting(Settings::EnableRTCP, QStringLiteral("1"));
        Log::set_output_file(m_panel.path(QStringLiteral("log")));
        m_windows = std::make_unique<DiagnosticWindows>(*m_panel.settings, *m_panel.db);
        QVERIFY(m_panel.show([this](Orvalo &window) { window.setToolWindows(m_windows.get()); }));
    }

    void cleanupTestCase()
    {
        m_panel.close();
        m_windows.reset();
    }

    void sipLogShowsCallsOnlyWhileCapturing()
    {
        Ui::Orvalo &form = *m_panel.window->form();
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
        Ui::Orvalo &form = *m_panel.window->form();
        form.actionRTCP_Logger->trigger();
        RTCPLogger *logger = m_windows->qualityLogger();
        QVERIFY(logger && logger->isVisible());
        auto *startStop = logger->findChild<QPushButton *>(QStringLiteral("ButtonStartStop"));
        auto *view = logger->findChild<QPlainTextEdit *>(QStringLiteral("TextEditLog"));
        QVERIFY(startStop && view);
        QSignalSpy lines(&m_panel.window->qualitySampler(), &QualitySampler::line);

        // Running without an answered call: nothing comes.
        QTest::mouseClick(startStop, Qt::LeftButton);
        QVERIFY(m_panel.window->qualitySampler().isRunning());
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
        QVERIFY(!m_panel.window->qualitySampler().isRunning());
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
