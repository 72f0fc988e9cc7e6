// The incoming-call and missed-call windows and the operator's external sound device, through the
// real main window against a registrar and scripted peers on loopback.
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "callui/calldialogs.h"
#include "callui/incomingcalldialog.h"
#include "callui/missedcallitem.h"
#include "callui/missedcallsdialog.h"
#include "panel/panelfixture.h"
#include "ui_orvalo.h"

namespace {
const QString DeviceFailed = QStringLiteral("Unable to create call to external sound device.");

QPushButton *button(QWidget *window, const char *name)
{
    return window->findChild<QPushButton *>(QLatin1String(name));
}
} // namespace

class TestOrvaloIncoming final : public QObject
{
    Q_OBJECT

    PanelFixture m_panel;
    testbed::Kamailio &m_proxy = m_panel.proxy;
    std::unique_ptr<CallDialogs> m_calls;

    Account &account() { return m_panel.desk(); }

    QString wav(const QString &name) const { return m_panel.path(name); }

    void useDevice(
        bool on, Setting::Value mode = Setting::Ring, const QString &number = QStringLiteral("1010"))
    {
        m_panel.settings->setSetting(Settings::UseExternal, on ? Setting::Yes : Setting::No);
        m_panel.settings->setSetting(Settings::UseExternalOn, mode);
        m_panel.settings->setSetting(Settings::OperatorExtension.getName(), number, true);
    }

    QList<QMessageBox *> deviceErrors() const
    {
        QList<QMessageBox *> boxes;
        for (QMessageBox *box : m_panel.window->findChildren<QMessageBox *>()) {
            if (box->isVisible() && box->text() == DeviceFailed)
                boxes.append(box);
        }
        return boxes;
    }

    void waitIdle()
    {
        QTRY_VERIFY_WITH_TIMEOUT(account().getCalls().empty(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(m_calls->incomingCallWindows().isEmpty(), 5000);
    }

private slots:

    void initTestCase()
    {
        QVERIFY(m_panel.open());
        // The device mode is chosen before the engine starts: the panel then has no local audio.
        useDevice(true);
        QVERIFY(m_panel.show([this](Orvalo &window) {
            window.setRedialGuard(std::chrono::milliseconds(0));
            m_calls = std::make_unique<CallDialogs>(&window);
            window.setCallWindows(m_calls.get());
        }));
        QVERIFY(testbed::writeToneWav(wav(QStringLiteral("caller-1300.wav")), 1300, 60000));
        QVERIFY(testbed::writeToneWav(wav(QStringLiteral("device-900.wav")), 900, 60000));
    }

    void cleanupTestCase()
    {
        m_calls.reset();
        m_panel.close();
    }

    void init() { useDevice(false); }

    void cleanup() { QVERIFY(account().getCalls().empty()); }

    // Answer and Decline in the call's own window; the declined caller hears 603.
    void windowAnswersAndDeclines()
    {
        testbed::SipPeer bob;
        QVERIFY(testbed::startRegistered(bob, m_proxy, QStringLiteral("1002")));
        for (const char *choice : {"button_answer", "button_decline"}) {
            bob.command(QStringLiteral("call ") + m_proxy.uri(QStringLiteral("1001")));
            QTRY_COMPARE_WITH_TIMEOUT(m_calls->incomingCallWindows().size(), 1, 10000);
            IncomingCallDialog *window = m_calls->incomingCallWindows().first();
            QCOMPARE(window->callId(), account().getActiveCallId());
            // The called party as the engine reports it (no angle brackets: the whole text).
            QCOMPARE(window->findChild<QLabel *>(QStringLiteral("label_number"))->text(),
                QStringLiteral("sip:1001@127.0.0.1"));
            QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=OutgoingRinging")).hasMatch());
            QTest::mouseClick(button(window, choice), Qt::LeftButton);
            QVERIFY(m_calls->incomingCallWindows().isEmpty());
            if (QLatin1String(choice) == QLatin1String("button_answer")) {
                QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=StreamsRunning")).hasMatch());
                QTRY_VERIFY(account().getActiveCall() && account().getActiveCall()->getCallAnswered());
                QCOMPARE(m_panel.window->form()->stackedWidget->currentIndex(), 1);
                bob.command(QStringLiteral("hangup"));
            } else {
                QVERIFY2(
                    bob.waitForEvent(QStringLiteral("^EVENT call .*state=(End|Error) .*code=603")).hasMatch(),
                    qPrintable(bob.events().join(QLatin1Char('\n'))));
            }
            waitIdle();
        }
    }

    // Two windows at once; each closes when its call is settled elsewhere: answered with the main
    // window's button, or given up by the caller (who then lands in the missed calls, called back
    // from there).
    void windowsCloseWhenSettledElsewhereAndMissedCallsCallBack()
    {
        testbed::SipPeer bob;
        testbed::SipPeer carol;
        QVERIFY(testbed::startRegistered(bob, m_proxy, QStringLiteral("1002")));
        QVERIFY(testbed::startRegistered(carol, m_proxy, QStringLiteral("1004")));
        bob.command(QStringLiteral("call ") + m_proxy.uri(QStringLiteral("1001")));
        QTRY_COMPARE_WITH_TIMEOUT(m_calls->incomingCallWindows().size(), 1, 10000);
        carol.command(QStringLiteral("call ") + m_proxy.uri(QStringLiteral("1001")));
        QTRY_COMPARE_WITH_TIMEOUT(m_calls->incomingCallWindows().size(), 2, 10000);
        const int bobId = m_calls->incomingCallWindows().at(0)->callId();
        const int carolId = m_calls->incomingCallWindows().at(1)->callId();
        QCOMPARE(account().getActiveCallId(), bobId);

        QTest::mouseClick(m_panel.window->form()->AnswerButton, Qt::LeftButton);
        QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=StreamsRunning")).hasMatch());
        QCOMPARE(m_calls->incomingCallWindows().size(), 1);
        QCOMPARE(m_calls->incomingCallWindows().first()->callId(), carolId);

        QVERIFY(carol.waitForEvent(QStringLiteral("^EVENT call .*state=OutgoingRinging")).hasMatch());
        carol.command(QStringLiteral("hangup"));
        QTRY_VERIFY_WITH_TIMEOUT(m_calls->incomingCallWindows().isEmpty(), 10000);
        MissedCallsDialog *missed = m_calls->missedCallsWindow();
        QVERIFY(missed && missed->isVisible());
        QCOMPARE(missed->items().size(), 1);
        QVERIFY2(missed->items().first()->text().startsWith(QStringLiteral("1004 at ")),
            qPrintable(missed->items().first()->text()));
        // Her row: cancelled (487) before anyone answered.
        const auto lastRow = [] {
            QSqlQuery q(
                QStringLiteral("SELECT sipresponsecode, answerdatetime FROM cdr ORDER BY cdrid DESC"));
            return q.next() ? q.value(0).toString() + QLatin1Char('|') + q.value(1).toString() : QString();
        };
        QTRY_COMPARE(lastRow(), QStringLiteral("487|"));
        bob.command(QStringLiteral("hangup"));
        waitIdle();

        // Call back from the row: the caller's telephone rings.
        QTest::mouseClick(button(missed->items().first(), "button_call"), Qt::LeftButton);
        QVERIFY(carol.waitForEvent(QStringLiteral("^EVENT call .*state=IncomingReceived")).hasMatch());
        QTRY_VERIFY(account().getActiveCall()
            && account().getActiveCall()->getCallDirection() == CallDirection::Outgoing);
        carol.command(QStringLiteral("decline"));
        waitIdle();
        missed->close();
        QVERIFY(missed->items().isEmpty());
    }

    // The customer's audio reaches the operator's device and back, with the device called when
    // the customer rings (its pick-up answers the customer) or when the operator answers.
    void deviceCarriesTheCall_data()
    {
        QTest::addColumn<bool>("onRing");
        QTest::newRow("ring") << true;
        QTest::newRow("answered") << false;
    }

    void deviceCarriesTheCall()
    {
        QFETCH(bool, onRing);
        useDevice(true, onRing ? Setting::Ring : Setting::Answered);
        const QString deviceHeard = wav(QStringLiteral("device-heard.wav"));
        const QString callerHeard = wav(QStringLiteral("caller-heard.wav"));
        QFile::remove(deviceHeard);
        QFile::remove(callerHeard);
        testbed::SipPeer desk;
        testbed::SipPeer bob;
        QVERIFY(testbed::startRegistered(desk, m_proxy, QStringLiteral("1010"),
            {QStringLiteral("--auto-answer=800"), QStringLiteral("--play"),
                wav(QStringLiteral("device-900.wav")), QStringLiteral("--record"), deviceHeard}));
        QVERIFY(testbed::startRegistered(bob, m_proxy, QStringLiteral("1002"),
            {QStringLiteral("--play"), wav(QStringLiteral("caller-1300.wav")), QStringLiteral("--record"),
                callerHeard}));
        bob.command(QStringLiteral("call ") + m_proxy.uri(QStringLiteral("1001")));
        QTRY_COMPARE_WITH_TIMEOUT(m_calls->incomingCallWindows().size(), 1, 10000);
        if (onRing) {
            QVERIFY(desk.waitForEvent(QStringLiteral("^EVENT call .*state=IncomingReceived")).hasMatch());
            QVERIFY(account().getExternalSoundDeviceCall());
            QCOMPARE(account().getActiveCall()->getConnectedCalls().size(), 1);
        } else {
            QTest::qWait(500);
            QVERIFY(!desk.hasEvent(QStringLiteral("state=IncomingReceived")));
            QTest::mouseClick(
                button(m_calls->incomingCallWindows().first(), "button_answer"), Qt::LeftButton);
            QVERIFY(desk.waitForEvent(QStringLiteral("^EVENT call .*state=IncomingReceived")).hasMatch());
        }
        // The pick-up (or the operator) answered the customer; the window went with it.
        QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=StreamsRunning")).hasMatch());
        QVERIFY(desk.waitForEvent(QStringLiteral("^EVENT call .*state=StreamsRunning")).hasMatch());
        QTRY_VERIFY(m_calls->incomingCallWindows().isEmpty());
        QCOMPARE(int(account().getCalls().size()), 2);
        QTest::qWait(3000);

        // The customer leaves: the device call has no one left and is hung up.
        bob.command(QStringLiteral("hangup"));
        QVERIFY(desk.waitForEvent(QStringLiteral("^EVENT call .*state=End")).hasMatch());
        waitIdle();
        QVERIFY(!account().getExternalSoundDeviceCall());
        const double toDevice = testbed::tailTone(deviceHeard, 1300, 1000, 300);
        const double toCaller = testbed::tailTone(callerHeard, 900, 1000, 300);
        QVERIFY2(toDevice > 0.8, qPrintable(QString::number(toDevice)));
        QVERIFY2(toCaller > 0.8, qPrintable(QString::number(toCaller)));
    }

    // A device that cannot be reached drops the waiting customer with an error; one that rang a
    // while is called again with the customer still waiting; one lost mid-call ends the call.
    void deviceFailures_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QStringList>("deviceArgs");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("busy") << QStringLiteral("1010") << QStringList {QStringLiteral("--decline=486")}
                              << QStringLiteral("dropped");
        QTest::newRow("rejected") << QStringLiteral("1010") << QStringList {QStringLiteral("--decline=603")}
                                  << QStringLiteral("dropped");
        QTest::newRow("unregistered")
            << QStringLiteral("1099") << QStringList {} << QStringLiteral("dropped");
        QTest::newRow("rings, then refuses")
            << QStringLiteral("1010")
            << QStringList {QStringLiteral("--decline=486"), QStringLiteral("--decline-after=2500")}
            << QStringLiteral("called again");
        QTest::newRow("lost mid-call")
            << QStringLiteral("1010")
            << QStringList {QStringLiteral("--auto-answer=0"), QStringLiteral("--hangup-after=1000")}
            << QStringLiteral("ended");
    }

    void deviceFailures()
    {
        QFETCH(QString, number);
        QFETCH(QStringList, deviceArgs);
        QFETCH(QString, outcome);
        useDevice(true, Setting::Ring, number);
        for (QMessageBox *box : deviceErrors())
            box->close();
        testbed::SipPeer desk;
        testbed::SipPeer bob;
        QVERIFY(testbed::startRegistered(desk, m_proxy, QStringLiteral("1010"), deviceArgs));
        QVERIFY(testbed::startRegistered(bob, m_proxy, QStringLiteral("1002")));
        bob.command(QStringLiteral("call ") + m_proxy.uri(QStringLiteral("1001")));

        if (outcome == QLatin1String("called again")) {
            QVERIFY(desk.waitForEvent(QStringLiteral("^EVENT call .*state=IncomingReceived")).hasMatch());
            QVERIFY(desk.waitForEvent(QStringLiteral("^EVENT call .*state=End")).hasMatch());
            QVERIFY(desk.waitForEvent(QStringLiteral("^EVENT call .*state=IncomingReceived")).hasMatch());
            QVERIFY(!bob.hasEvent(QStringLiteral("state=End")));
            QTRY_VERIFY(account().getExternalSoundDeviceCall()
                && account().getExternalSoundDeviceCall()->getConnectedCalls().size() == 1);
            QVERIFY(deviceErrors().isEmpty());
            bob.command(QStringLiteral("hangup"));
            QVERIFY(desk.waitForEvent(QStringLiteral("^EVENT call .*state=End")).hasMatch());
        } else if (outcome == QLatin1String("dropped")) {
            QVERIFY2(bob.waitForEvent(QStringLiteral("^EVENT call .*state=(End|Error)")).hasMatch(),
                qPrintable(bob.events().join(QLatin1Char('\n'))));
            QTRY_COMPARE(deviceErrors().size(), 1);
        } else {
            QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=StreamsRunning")).hasMatch());
            QVERIFY(desk.waitForEvent(QStringLiteral("^EVENT call .*state=End")).hasMatch());
            QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=End")).hasMatch());
            QVERIFY(deviceErrors().isEmpty());
        }
        waitIdle();
    }
};

QTEST_MAIN(TestOrvaloIncoming)
#include "tst_orvalo_incoming.moc"
