// Incoming calls from SIPp: identity headers, ringing, refusals and the state sequence.

#include <QDirIterator>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

#include "enginefixture.h"

namespace {

// The stack writes its own reason phrases ("486 Busy here", "480 Temporarily unavailable"):
// status lines are compared without regard to case.
int occurrences(const QString &text, const QString &what)
{
    return int(text.count(what, Qt::CaseInsensitive));
}

} // namespace

class tst_EngineCalls : public QObject
{
    Q_OBJECT

private slots:
    void answeredCall_data();
    void answeredCall();
    void rejectWithCode_data();
    void rejectWithCode();
    void callAudioBothWays();
    void hangup_data();
    void hangup();
    void accountOfIncomingCall_data();
    void accountOfIncomingCall();
    void shutdownEndsCalls();
    void callIdsAreNotReused();
};

void tst_EngineCalls::answeredCall_data()
{
    QTest::addColumn<bool>("dnd");
    QTest::newRow("ringing") << false;
    QTest::newRow("do not disturb") << true;
}

// The peer calls, the engine answers, the peer hangs up.
void tst_EngineCalls::answeredCall()
{
    QFETCH(bool, dnd);
    testbed::Kamailio kamailio;
    QVERIFY2(kamailio.start(false), qPrintable(kamailio.log()));
    EngineFixture f;
    QVERIFY(f.startWithFileCard());
    f.engine->setDndOn(dnd);
    QSignalSpy registrations(f.engine.get(), &SipDialer::onRegistrationChanged);
    f.engine->registerAccount(EngineFixture::account(QStringLiteral("1000"), kamailio.hostPort(), {}));
    const int account
        = f.engine->registerAccount(EngineFixture::account(QStringLiteral("1001"), kamailio.hostPort(), {}));
    QTRY_COMPARE_WITH_TIMEOUT(registrations.count(), 2, 10000);

    QSignalSpy incoming(f.engine.get(), &SipDialer::onIncomingCall);
    QSignalSpy states(f.engine.get(), &SipDialer::onCallstateChanged);
    QSignalSpy terminated(f.engine.get(), &SipDialer::onCallTerminated);
    QSignalSpy media(f.engine.get(), &SipDialer::onCallmediaChanged);
    testbed::Sipp sipp;
    QVERIFY(sipp.start(
        EngineFixture::scenario("uac_invite_answered.xml"), f.hostPort(), EngineFixture::sippCalls(), 15000));

    QTRY_COMPARE_WITH_TIMEOUT(incoming.count(), 1, 5000);
    const auto call = incoming.first().first().value<orvalo_call_info>();
    QCOMPARE(call.acc_id, account);
    QVERIFY(call.call_id >= 0);
    QCOMPARE(call.remote_host, QStringLiteral("127.0.0.1"));
    QVERIFY(call.remote_info.contains(QStringLiteral("sip:2002@127.0.0.1")));
    QVERIFY(call.local_info.contains(QStringLiteral("sip:1001@127.0.0.1")));
    // Header values as received: the blank after the colon is part of them.
    QCOMPARE(call.asserted_identity, QStringLiteral(" \"Reception\" <sip:2002@example.test>"));
    QCOMPARE(call.called_party_id, QStringLiteral(" <sip:1001@example.test>"));
    QCOMPARE(f.engine->ringCount(), dnd ? 0u : 1u);
    QCOMPARE(f.engine->isTonePlaying(), !dnd);
    QCOMPARE(f.engine->callCount(), 1);

    QTest::qWait(300);
    f.engine->onAnswerButtonSlot(EngineFixture::call(call.call_id));
    QTRY_COMPARE_WITH_TIMEOUT(terminated.count(), 1, 10000);
    QVERIFY2(sipp.waitForFinished(5000) && sipp.exitCode() == 0, qPrintable(sipp.output() + sipp.errors()));

    // 180 only without do-not-disturb; every message carries our user agent.
    const QString trace = sipp.messages();
    QCOMPARE(occurrences(trace, QStringLiteral("SIP/2.0 180 Ringing")) > 0, !dnd);
    QVERIFY(trace.contains(QStringLiteral("Brisko Orvalo V0.9")));

    QList<int> sequence;
    QStringList texts;
    for (const QList<QVariant> &signal : states) {
        const auto info = signal.first().value<orvalo_call_info>();
        QCOMPARE(info.call_id, call.call_id);
        QCOMPARE(info.acc_id, account);
        sequence.append(info.state);
        texts.append(info.state_text);
    }
    QCOMPARE(sequence, (QList<int> {2, 4, 5}));
    QCOMPARE(texts, (QStringList {"Incoming call", "Connecting....", "Dial confirmed"}));
    const auto end = terminated.first().first().value<orvalo_call_info>();
    QCOMPARE(end.call_id, call.call_id);
    QCOMPARE(end.state, 6);
    QCOMPARE(end.last_status, 200);
    QVERIFY(end.state_text.isEmpty());
    QVERIFY(media.count() >= 1);
    QCOMPARE(media.first().first().toInt(), call.call_id);
    QCOMPARE(f.engine->ringCount(), 0u);
    QVERIFY(!f.engine->isTonePlaying());
    QCOMPARE(f.engine->callCount(), 0);

    // The INVITE's lines are logged between two rules of dashes.
    const QString log = f.log();
    QVERIFY(log.contains(QString(64, QLatin1Char('-'))));
    QVERIFY(log.contains(QStringLiteral("P-Asserted-Identity -  \"Reception\" <sip:2002@example.test>")));
    QVERIFY(log.contains(QStringLiteral("state: CONFIRMED (5) last_state:200 OK")));
}

void tst_EngineCalls::rejectWithCode_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("response");
    QTest::addColumn<int>("ringMs"); // how long the call rings before the operator refuses it
    QTest::newRow("603 from the options") << "603"
                                          << "SIP/2.0 603 Decline" << 0;
    // A caller may wait long for an operator: the call rings past the stack's own 30 s limit. The
    // default code, 486, is also the panel's Reject (tst_orvalo_e2e).
    QTest::newRow("default, after 32 s of ringing") << QString() << "SIP/2.0 486 Busy Here" << 32000;
}

void tst_EngineCalls::rejectWithCode()
{
    QFETCH(QString, code);
    QFETCH(QString, response);
    QFETCH(int, ringMs);
    EngineFixture f;
    QVERIFY(f.engine->init());
    QSignalSpy incoming(f.engine.get(), &SipDialer::onIncomingCall);
    QSignalSpy terminated(f.engine.get(), &SipDialer::onCallTerminated);
    testbed::Sipp sipp;
    QVERIFY(sipp.start(EngineFixture::scenario("uac_invite_refused.xml"), f.hostPort(),
        EngineFixture::sippCalls(), 10000 + ringMs));
    QTRY_COMPARE_WITH_TIMEOUT(incoming.count(), 1, 5000);
    if (ringMs > 0) {
        QTest::qWait(ringMs);
        QCOMPARE(terminated.count(), 0);
    }
    sip_call_msg reject = EngineFixture::call(incoming.first().first().value<orvalo_call_info>().call_id);
    if (!code.isEmpty())
        reject.options.insert(QStringLiteral("code"), code);
    f.engine->onRejectButtonSlot(reject);
    QTRY_COMPARE_WITH_TIMEOUT(terminated.count(), 1, 5000);
    QVERIFY2(sipp.waitForFinished(10000) && sipp.exitCode() == 0, qPrintable(sipp.output() + sipp.errors()));
    const QString trace = sipp.messages();
    QVERIFY2(occurrences(trace, response) == 1,
        qPrintable(trace.mid(trace.indexOf(QStringLiteral("SIP/2.0 4")), 40)));
}

// A call from a peer that speaks 700 Hz to an engine whose (file) microphone speaks 1300 Hz: each
// side hears the other one, through the file sound card on our side.
void tst_EngineCalls::callAudioBothWays()
{
    EngineFixture f;
    const QString microphone = f.dir.filePath(QStringLiteral("microphone.wav"));
    const QString peerVoice = f.dir.filePath(QStringLiteral("peer.wav"));
    const QString peerHeard = f.dir.filePath(QStringLiteral("heard.wav"));
    QVERIFY(testbed::writeToneWav(microphone, 1300, 10000, 16000));
    QVERIFY(testbed::writeToneWav(peerVoice, 700, 10000, 8000));
    QVERIFY(f.startWithFileCard(microphone));
    QSignalSpy incoming(f.engine.get(), &SipDialer::onIncomingCall);
    QSignalSpy terminated(f.engine.get(), &SipDialer::onCallTerminated);

    testbed::SipPeer peer;
    QVERIFY(peer.start({QStringLiteral("--call"), QStringLiteral("sip:1001@") + f.hostPort(),
        QStringLiteral("--play"), peerVoice, QStringLiteral("--record"), peerHeard,
        QStringLiteral("--hangup-after"), QStringLiteral("3000")}));
    const sip_call_msg answer = EngineFixture::incomingCall(incoming);
    QVERIFY(answer.call_id >= 0);
    f.engine->onAnswerButtonSlot(answer);
    QTRY_COMPARE_WITH_TIMEOUT(terminated.count(), 1, 10000);
    QVERIFY(peer.waitForEvent(QStringLiteral("state=Released")).hasMatch());
    peer.stop();
    f.engine->flushFileSoundCard();

    QVector<qint16> samples;
    int rate = 0;
    QVERIFY(testbed::readWav(f.played(), &samples, &rate));
    // The last two seconds of the call: well after the media started. Audio that crossed the
    // network is judged with some room for jitter and loss on a loaded machine.
    const int end = int(samples.size());
    const QVector<qint16> weHeard = samples.mid(end - rate * 2, rate * 3 / 2);
    QVERIFY2(testbed::toneFraction(weHeard, rate, 700) > 0.6,
        qPrintable(QString::number(testbed::toneFraction(weHeard, rate, 700))));
    QVERIFY(testbed::toneFraction(weHeard, rate, 1300) < 0.01);
    QVERIFY(testbed::readWav(peerHeard, &samples, &rate));
    const QVector<qint16> theyHeard = samples.mid(samples.size() - rate * 2, rate * 3 / 2);
    QVERIFY2(testbed::toneFraction(theyHeard, rate, 1300) > 0.6,
        qPrintable(QString::number(testbed::toneFraction(theyHeard, rate, 1300))));
}

void tst_EngineCalls::hangup_data()
{
    QTest::addColumn<bool>("answered");
    QTest::addColumn<QString>("scenario");
    QTest::newRow("answered call: BYE") << true << "uac_invite_hungup.xml";
    QTest::newRow("ringing call: 603") << false << "uac_invite_refused.xml";
}

void tst_EngineCalls::hangup()
{
    QFETCH(bool, answered);
    QFETCH(QString, scenario);
    EngineFixture f;
    QVERIFY(f.startWithFileCard());
    QSignalSpy incoming(f.engine.get(), &SipDialer::onIncomingCall);
    QSignalSpy states(f.engine.get(), &SipDialer::onCallstateChanged);
    QSignalSpy terminated(f.engine.get(), &SipDialer::onCallTerminated);
    testbed::Sipp sipp;
    QVERIFY(sipp.start(EngineFixture::scenario(scenario.toLatin1().constData()), f.hostPort(),
        EngineFixture::sippCalls(), 20000));
    const sip_call_msg request = EngineFixture::incomingCall(incoming);
    QVERIFY(request.call_id >= 0);
    if (answered) {
        f.engine->onAnswerButtonSlot(request);
        QVERIFY(EngineFixture::waitConfirmed(states, -1, 5000));
        QTest::qWait(500);
    }
    QVERIFY(f.engine->isTonePlaying() != answered);
    f.engine->onHangupButtonSlot(request);
    QTRY_COMPARE_WITH_TIMEOUT(terminated.count(), 1, 5000);
    // The operator's hang-up of a ringing call is a decline, not a caller who gave up (487).
    QCOMPARE(terminated.first().first().value<orvalo_call_info>().last_status, answered ? 200 : 603);
    QVERIFY(!f.engine->isTonePlaying());
    QVERIFY2(sipp.waitForFinished(10000) && sipp.exitCode() == 0, qPrintable(sipp.output() + sipp.errors()));
    if (!answered)
        QCOMPARE(occurrences(sipp.messages(), QStringLiteral("SIP/2.0 603 Decline")), 1);

    // The stream statistics are logged with the hang-up.
    const QString log = f.log();
    QVERIFY(log.contains(QStringLiteral("Hanging up ") + QString::number(request.call_id)));
    QVERIFY(log.contains(QStringLiteral("RX: "))
        || log.contains(QStringLiteral("Unable to get call stream stats")));
    if (answered) {
        QVERIFY(log.contains(QStringLiteral("TX: ")));
        QVERIFY(log.contains(QStringLiteral("RTT: ")));
    }
    // A negative id does nothing.
    f.engine->onHangupButtonSlot(EngineFixture::call(-1));
}

void tst_EngineCalls::accountOfIncomingCall_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<bool>("unregisterFirst");
    QTest::addColumn<int>("expected"); // index into the registered accounts 1000, 1001, 1002
    QTest::newRow("known user") << "1000" << false << 0;
    QTest::newRow("unknown user: the default account") << "1999" << false << 2;
    QTest::newRow("user unregistered: the default account") << "1001" << true << 2;
}

// The To user picks the account; otherwise the library's default (the last one registered).
void tst_EngineCalls::accountOfIncomingCall()
{
    QFETCH(QString, user);
    QFETCH(bool, unregisterFirst);
    QFETCH(int, expected);
    testbed::Kamailio kamailio;
    QVERIFY2(kamailio.start(false), qPrintable(kamailio.log()));
    EngineFixture f;
    QVERIFY(f.engine->init());
    QSignalSpy registrations(f.engine.get(), &SipDialer::onRegistrationChanged);
    QList<int> ids;
    for (const char *name : {"1000", "1001", "1002"})
        ids.append(f.engine->registerAccount(
            EngineFixture::account(QString::fromLatin1(name), kamailio.hostPort(), {})));
    QTRY_COMPARE_WITH_TIMEOUT(registrations.count(), 3, 10000);
    if (unregisterFirst)
        f.engine->unregisterAccount(ids.at(1));

    QSignalSpy incoming(f.engine.get(), &SipDialer::onIncomingCall);
    testbed::Sipp sipp;
    QVERIFY(sipp.start(EngineFixture::scenario("uac_invite_refused.xml"), f.hostPort(),
        EngineFixture::sippCalls(user), 10000));
    QTRY_COMPARE_WITH_TIMEOUT(incoming.count(), 1, 5000);
    const auto call = incoming.first().first().value<orvalo_call_info>();
    QCOMPARE(call.acc_id, ids.at(expected));
    f.engine->onRejectButtonSlot(EngineFixture::call(call.call_id));
    QTRY_VERIFY_WITH_TIMEOUT(!sipp.isRunning(), 10000);
}

// Shutting the engine down with a call up hangs the call up and releases everything; the panel
// hears nothing more of it.
void tst_EngineCalls::shutdownEndsCalls()
{
    EngineFixture f;
    QVERIFY(f.startWithFileCard());
    QSignalSpy incoming(f.engine.get(), &SipDialer::onIncomingCall);
    QSignalSpy states(f.engine.get(), &SipDialer::onCallstateChanged);
    QSignalSpy terminated(f.engine.get(), &SipDialer::onCallTerminated);
    testbed::SipPeer peer;
    QVERIFY(peer.start({QStringLiteral("--call"), QStringLiteral("sip:1001@") + f.hostPort()}));
    const sip_call_msg answer = EngineFixture::incomingCall(incoming);
    QVERIFY(answer.call_id >= 0);
    f.engine->onAnswerButtonSlot(answer);
    QVERIFY(EngineFixture::waitConfirmed(states, -1, 5000));

    f.engine->shutdown();
    QVERIFY(!f.engine->isRunning());
    QVERIFY(peer.waitForEvent(QStringLiteral("state=End")).hasMatch());
    QTest::qWait(200);
    QCOMPARE(terminated.count(), 0);
    QCOMPARE(f.engine->callCount(), 0);
    // And it starts again.
    QVERIFY(f.engine->init());
}

// The panel matches calls by id and hears of an end only after the stack has released the call:
// the next call must not get the ended call's id. The ended calls leave no history in the stack
// (the panel keeps the records): no call history database appears in the data folder.
void tst_EngineCalls::callIdsAreNotReused()
{
    EngineFixture f;
    QVERIFY(f.engine->init());
    QList<int> ids;
    connect(f.engine.get(), &SipDialer::onIncomingCall, this, [&](const orvalo_call_info &info) {
        ids.append(info.call_id);
        f.engine->onRejectButtonSlot(EngineFixture::call(info.call_id));
    });
    testbed::Sipp sipp;
    QVERIFY(sipp.start(EngineFixture::scenario("uac_invite_refused.xml"), f.hostPort(),
        EngineFixture::sippCalls(QStringLiteral("1001"), 3)
            << QStringLiteral("-l") << QStringLiteral("1") << QStringLiteral("-r") << QStringLiteral("5"),
        10000));
    QVERIFY2(sipp.waitForFinished(10000) && sipp.exitCode() == 0, qPrintable(sipp.output() + sipp.errors()));
    QCOMPARE(ids.size(), 3);
    QCOMPARE(QSet<int>(ids.cbegin(), ids.cend()).size(), 3);
    QDirIterator files(f.dir.path(), QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext())
        QVERIFY2(!files.next().endsWith(QStringLiteral("call-history.db")), qPrintable(files.filePath()));
}

QTEST_GUILESS_MAIN(tst_EngineCalls)
#include "tst_enginecalls.moc"
