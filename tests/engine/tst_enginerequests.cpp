// The panel's requests on calls, against scripted peers through Kamailio: dialling (codecs, dashes,
// refused targets, also of messages), hold and resume, mute, blind and attended transfer.

#include <QSignalSpy>
#include <QTest>

#include "enginefixture.h"

namespace {

// Share of the last second of a recording at the given frequency (-1 when unreadable).
double lastSecondTone(const QString &wav, double hz)
{
    return testbed::tailTone(wav, hz, 1000);
}

// A peer registered at the proxy that answers after 100 ms.
bool startPeer(testbed::SipPeer &peer, const testbed::Kamailio &proxy, const QString &user,
    const QStringList &extra = {})
{
    return testbed::startRegistered(
        peer, proxy, user, QStringList {QStringLiteral("--auto-answer=100")} + extra);
}

} // namespace

class tst_EngineRequests : public QObject
{
    Q_OBJECT

    testbed::Kamailio m_proxy;

    int registerOn(EngineFixture &f, const QString &user) { return f.registerAt(m_proxy, user); }

    // Peer options: play a tone of `hz` as its voice and record what it hears.
    static QStringList voice(EngineFixture &f, int hz, const QString &heard)
    {
        const QString tone = f.dir.filePath(QStringLiteral("voice-%1.wav").arg(hz));
        testbed::writeToneWav(tone, hz, 60000);
        return {QStringLiteral("--play"), tone, QStringLiteral("--record"), heard};
    }

    // After a transfer the two peers talk to each other: each hears the other's tone at the end.
    static void expectTalking(
        testbed::SipPeer &bob, const QString &bobHeard, testbed::SipPeer &carol, const QString &carolHeard)
    {
        QTest::qWait(2000);
        bob.stop();
        carol.stop();
        const double bobHearsCarol = lastSecondTone(bobHeard, 1500);
        const double carolHearsBob = lastSecondTone(carolHeard, 1300);
        QVERIFY2(bobHearsCarol > 0.5, qPrintable(QString::number(bobHearsCarol)));
        QVERIFY2(carolHearsBob > 0.5, qPrintable(QString::number(carolHearsBob)));
    }

    // Calls the peer (registered as `user`) with PCMU and waits until its streams run; the call id.
    int callUp(EngineFixture &f, int acc, testbed::SipPeer &peer, const QString &user)
    {
        const int id = f.engine->makeCall(
            EngineFixture::request(acc, user, m_proxy.hostPort()), {QStringLiteral("PCMU/8000/1")});
        if (id < 0 || !peer.waitForEvent(QStringLiteral("^EVENT call .*state=StreamsRunning")).hasMatch())
            return -1;
        return id;
    }

private slots:

    void initTestCase() { QVERIFY2(m_proxy.start(false), qPrintable(m_proxy.log())); }

    // Calls and messages share the reading of the target: one that is no SIP address is refused
    // before anything is sent.
    void refusedTargets_data()
    {
        QTest::addColumn<bool>("message");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("domain");
        QTest::addColumn<QString>("error");
        for (const bool message : {false, true}) {
            const char *what = message ? "message" : "call";
            QTest::addRow("%s: no domain", what) << message << "1002" << QString() << "No Domain";
            QTest::addRow("%s: no number", what) << message << QString() << "127.0.0.1"
                                                 << "No Phone number";
            QTest::addRow("%s: neither, domain first", what)
                << message << QString() << QString() << "No Domain";
            QTest::addRow("%s: blank inside", what) << message << "55 12"
                                                    << "127.0.0.1"
                                                    << "Invalid URI";
            QTest::addRow("%s: angle bracket in the domain", what) << message << "1002"
                                                                   << "127.0.0.1>"
                                                                   << "Invalid URI";
        }
    }

    void refusedTargets()
    {
        QFETCH(bool, message);
        QFETCH(QString, number);
        QFETCH(QString, domain);
        QFETCH(QString, error);
        EngineFixture f;
        QVERIFY(f.startWithFileCard());
        QSignalSpy errors(f.engine.get(), &SipDialer::onErrorState);
        const sip_call_msg target = EngineFixture::request(0, number, domain);
        if (message)
            f.engine->sendMessage(target, QStringLiteral("hello"));
        else
            QCOMPARE(f.engine->makeCall(target, {QStringLiteral("PCMU/8000/1")}), -1);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.first().first().value<orvalo_error_info>().message, error);
        QCOMPARE(f.engine->callCount(), 0);
        QVERIFY(!f.log().contains(QStringLiteral("Sending message")));
    }

    void callLimitReached()
    {
        EngineFixture f;
        QVERIFY(f.startWithFileCard());
        f.engine->setMaxCallCount(1);
        const int acc = registerOn(f, QStringLiteral("1001"));
        QVERIFY(acc >= 0);
        testbed::SipPeer bob;
        QVERIFY(startPeer(bob, m_proxy, QStringLiteral("1002")));
        QVERIFY(
            f.engine->makeCall(EngineFixture::request(acc, QStringLiteral("1002"), m_proxy.hostPort()), {})
            >= 0);
        QSignalSpy errors(f.engine.get(), &SipDialer::onErrorState);
        QCOMPARE(
            f.engine->makeCall(EngineFixture::request(acc, QStringLiteral("1002"), m_proxy.hostPort()), {}),
            -1);
        QCOMPARE(
            errors.first().first().value<orvalo_error_info>().message, QStringLiteral("Call limit reached"));
    }

    // Dashes are dropped from the number; only the listed codecs are offered, in list order.
    void dialOffersTheExtensionsCodecs()
    {
        EngineFixture f;
        QVERIFY(f.startWithFileCard());
        const int acc = registerOn(f, QStringLiteral("1001"));
        QVERIFY(acc >= 0);
        testbed::SipPeer bob;
        QVERIFY(startPeer(bob, m_proxy, QStringLiteral("1002"), {QStringLiteral("--verbose")}));
        QSignalSpy states(f.engine.get(), &SipDialer::onCallstateChanged);
        const int id
            = f.engine->makeCall(EngineFixture::request(acc, QStringLiteral("10-02"), m_proxy.hostPort()),
                {QStringLiteral("PCMA/8000/1"), QStringLiteral("PCMU/8000/1"), QStringLiteral("AMR/8000/1")});
        QVERIFY(id >= 0);
        QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=StreamsRunning")).hasMatch());
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                for (const auto &s : states)
                    if (s.first().value<orvalo_call_info>().state_text == QStringLiteral("Dial confirmed"))
                        return true;
                return false;
            }(),
            5000);
        // The peer's log holds the offer it received.
        const QString offer = bob.output();
        QVERIFY(offer.contains(QStringLiteral("m=audio ")));
        QVERIFY2(QRegularExpression(QStringLiteral("m=audio \\d+ RTP/AVP 8 0( 1\\d\\d)*\\s"))
                     .match(offer)
                     .hasMatch(),
            qPrintable(offer.mid(offer.indexOf(QStringLiteral("m=audio")), 80)));
        QVERIFY(f.log().contains(QStringLiteral("Codec not available: AMR/8000/1")));
        QVERIFY(f.log().contains(QStringLiteral("sip:1002@")));
    }

    // The first state of a dial is "Dialing"; a dial the operator cancels while it rings ends with
    // the 487 that answers our CANCEL, not with the 180 it last saw.
    void cancelledDial()
    {
        EngineFixture f;
        QVERIFY(f.startWithFileCard());
        const int acc = registerOn(f, QStringLiteral("1001"));
        QVERIFY(acc >= 0);
        testbed::SipPeer bob; // does not answer
        QVERIFY(bob.start(m_proxy.peerArgs(QStringLiteral("1002"))));
        QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT registration state=Ok")).hasMatch());
        QSignalSpy states(f.engine.get(), &SipDialer::onCallstateChanged);
        QSignalSpy terminated(f.engine.get(), &SipDialer::onCallTerminated);
        sip_call_msg call = EngineFixture::request(acc, QStringLiteral("1002"), m_proxy.hostPort());
        call.call_id = f.engine->makeCall(call, {QStringLiteral("PCMU/8000/1")});
        QVERIFY(call.call_id >= 0);
        QVERIFY(states.count() > 0);
        const auto first = states.first().first().value<orvalo_call_info>();
        QCOMPARE(first.call_id, call.call_id);
        QCOMPARE(first.acc_id, acc);
        QCOMPARE(first.state, 1);
        QCOMPARE(first.state_text, QStringLiteral("Dialing"));
        QTRY_VERIFY_WITH_TIMEOUT(states.last().first().value<orvalo_call_info>().state == 3, 5000);
        QCOMPARE(states.last().first().value<orvalo_call_info>().last_status, 180);
        f.engine->onHangupButtonSlot(call);
        QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=End")).hasMatch());
        QTRY_COMPARE_WITH_TIMEOUT(terminated.count(), 1, 5000);
        QCOMPARE(terminated.first().first().value<orvalo_call_info>().last_status, 487);
    }

    // Hold reaches the peer as a pause and resume as running streams again; a second press while
    // the peer holds us is refused with the remote-hold text. Mute silences what the peer hears.
    void holdResumeAndMute()
    {
        EngineFixture f;
        const QString tone = f.dir.filePath(QStringLiteral("700.wav"));
        QVERIFY(testbed::writeToneWav(tone, 700, 60000));
        QVERIFY(f.startWithFileCard(tone));
        const int acc = registerOn(f, QStringLiteral("1001"));
        QVERIFY(acc >= 0);
        testbed::SipPeer bob;
        const QString heardUnmuted = f.dir.filePath(QStringLiteral("bob1.wav"));
        QVERIFY(startPeer(bob, m_proxy, QStringLiteral("1002"), {QStringLiteral("--record"), heardUnmuted}));
        const int id = callUp(f, acc, bob, QStringLiteral("1002"));
        QVERIFY(id >= 0);
        QTRY_COMPARE_WITH_TIMEOUT(f.engine->getCallDetails(id).media_status, 1, 5000);

        sip_call_msg call;
        call.call_id = id;
        f.engine->onHoldToggleButtonSlot(call);
        QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=PausedByRemote")).hasMatch());
        QTRY_COMPARE_WITH_TIMEOUT(f.engine->getCallDetails(id).media_status, 2, 5000);
        f.engine->onHoldToggleButtonSlot(call);
        QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=StreamsRunning")).hasMatch());
        QTRY_COMPARE_WITH_TIMEOUT(f.engine->getCallDetails(id).media_status, 1, 5000);

        bob.command(QStringLiteral("hold"));
        QTRY_COMPARE_WITH_TIMEOUT(f.engine->getCallDetails(id).media_status, 3, 5000);
        QSignalSpy errors(f.engine.get(), &SipDialer::onErrorState);
        f.engine->onHoldToggleButtonSlot(call);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.first().first().value<orvalo_error_info>().message,
            QStringLiteral("The media is currently put on hold by remote endpoint"));
        bob.command(QStringLiteral("resume"));
        QTRY_COMPARE_WITH_TIMEOUT(f.engine->getCallDetails(id).media_status, 1, 5000);

        // Two presses of mute restore the microphone.
        f.engine->onMuteToggleButtonSlot(call);
        QVERIFY(f.engine->isMuted());
        f.engine->onMuteToggleButtonSlot(call);
        QVERIFY(!f.engine->isMuted());
        QTest::qWait(1500);
        f.engine->onMuteToggleButtonSlot(call);
        QTest::qWait(1500);
        f.engine->onHangupButtonSlot(call);
        QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=End")).hasMatch());
        bob.stop();

        // The peer heard the tone before mute and silence after it.
        QVector<qint16> samples;
        int rate = 0;
        QVERIFY(testbed::readWav(heardUnmuted, &samples, &rate));
        const qsizetype second = rate;
        QVERIFY(samples.size() > 3 * second);
        const QVector<qint16> end = samples.mid(samples.size() - second);
        const QVector<qint16> beforeMute = samples.mid(samples.size() - 3 * second, second);
        QVERIFY2(testbed::toneFraction(beforeMute, rate, 700) > 0.5,
            qPrintable(QString::number(testbed::toneFraction(beforeMute, rate, 700))));
        QVERIFY2(testbed::rms(end) < 0.01, qPrintable(QString::number(testbed::rms(end))));
    }

    // "Call out as": the far end sees the other identity; the account itself is left as it was.
    void callOutAsAnotherIdentity()
    {
        EngineFixture f;
        QVERIFY(f.startWithFileCard());
        const int acc = registerOn(f, QStringLiteral("1001"));
        QVERIFY(acc >= 0);
        testbed::SipPeer bob;
        QVERIFY(startPeer(bob, m_proxy, QStringLiteral("1002"), {QStringLiteral("--verbose")}));
        const QString identity
            = QStringLiteral("\"Sales line\" <sip:1001@") + m_proxy.hostPort() + QLatin1Char('>');
        QVERIFY(f.engine->makeCall(EngineFixture::request(acc, QStringLiteral("1002"), m_proxy.hostPort()),
                    {QStringLiteral("PCMU/8000/1")}, identity)
            >= 0);
        QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=IncomingReceived")).hasMatch());
        // The INVITE as the peer received it (its library log).
        QVERIFY(bob.output().contains(QStringLiteral("\nFrom: \"Sales line\" <sip:1001@")));
        QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=StreamsRunning")).hasMatch());
        bob.command(QStringLiteral("hangup"));
        QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=Released")).hasMatch());
        QTest::qWait(300);
        const qsizetype asSales = bob.output().count(QStringLiteral("\nFrom: \"Sales line\""));

        // Without an identity the next call goes out as the account again.
        QVERIFY(f.engine->makeCall(EngineFixture::request(acc, QStringLiteral("1002"), m_proxy.hostPort()),
                    {QStringLiteral("PCMU/8000/1")})
            >= 0);
        QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=IncomingReceived")).hasMatch());
        QVERIFY(bob.output().contains(QStringLiteral("\nFrom: <sip:1001@")));
        QCOMPARE(bob.output().count(QStringLiteral("\nFrom: \"Sales line\"")), asSales);
    }

    // A second call placed while one is up leaves the first one running: holding is the panel's
    // decision, not the stack's.
    void secondCallDoesNotHoldTheFirst()
    {
        EngineFixture f;
        QVERIFY(f.startWithFileCard());
        const int acc = registerOn(f, QStringLiteral("1001"));
        QVERIFY(acc >= 0);
        testbed::SipPeer bob;
        testbed::SipPeer carol;
        QVERIFY(startPeer(bob, m_proxy, QStringLiteral("1002")));
        QVERIFY(startPeer(carol, m_proxy, QStringLiteral("1003")));
        const int first = callUp(f, acc, bob, QStringLiteral("1002"));
        QVERIFY(first >= 0);
        QVERIFY(callUp(f, acc, carol, QStringLiteral("1003")) >= 0);
        QTest::qWait(500);
        QVERIFY(!bob.hasEvent(QStringLiteral("state=PausedByRemote")));
        QCOMPARE(f.engine->getCallDetails(first).media_status, 1);
    }

    // Blind transfer: the peer we called is sent on to a third peer and we leave at once.
    void blindTransfer()
    {
        EngineFixture f;
        QVERIFY(f.startWithFileCard());
        const int acc = registerOn(f, QStringLiteral("1001"));
        QVERIFY(acc >= 0);
        testbed::SipPeer bob;
        testbed::SipPeer carol;
        const QString bobHeard = f.dir.filePath(QStringLiteral("bob.wav"));
        const QString carolHeard = f.dir.filePath(QStringLiteral("carol.wav"));
        QVERIFY(startPeer(bob, m_proxy, QStringLiteral("1002"), voice(f, 1300, bobHeard)));
        QVERIFY(startPeer(carol, m_proxy, QStringLiteral("1003"), voice(f, 1500, carolHeard)));
        const int id = callUp(f, acc, bob, QStringLiteral("1002"));
        QVERIFY(id >= 0);
        QSignalSpy terminated(f.engine.get(), &SipDialer::onCallTerminated);
        sip_call_msg xfer = EngineFixture::request(acc, QStringLiteral("10-03"), m_proxy.hostPort());
        xfer.call_id = id;
        f.engine->onTransferButtonSlot(xfer);
        QVERIFY(
            carol.waitForEvent(QStringLiteral("^EVENT call .*state=IncomingReceived.*from=sip:1002@"), 10000)
                .hasMatch());
        QVERIFY(carol.waitForEvent(QStringLiteral("^EVENT call .*state=StreamsRunning")).hasMatch());
        QTRY_COMPARE_WITH_TIMEOUT(terminated.count(), 1, 5000);
        expectTalking(bob, bobHeard, carol, carolHeard);
    }

    // Attended transfer as the panel makes it: bob is put on hold, carol is called, and the
    // transfer is asked for as soon as carol answers, while her call's media is still being set
    // up and bob's hold may still be under way. The REFER waits for both; bob and carol end up
    // talking to each other.
    void attendedTransfer()
    {
        EngineFixture f;
        QVERIFY(f.startWithFileCard());
        const int acc = registerOn(f, QStringLiteral("1001"));
        QVERIFY(acc >= 0);
        testbed::SipPeer bob;
        testbed::SipPeer carol;
        const QString bobHeard = f.dir.filePath(QStringLiteral("bob.wav"));
        const QString carolHeard = f.dir.filePath(QStringLiteral("carol.wav"));
        QVERIFY(startPeer(bob, m_proxy, QStringLiteral("1002"), voice(f, 1300, bobHeard)));
        QVERIFY(startPeer(carol, m_proxy, QStringLiteral("1003"), voice(f, 1500, carolHeard)));
        const int toBob = callUp(f, acc, bob, QStringLiteral("1002"));
        QVERIFY(toBob >= 0);
        sip_call_msg hold;
        hold.call_id = toBob;
        f.engine->onHoldToggleButtonSlot(hold);
        QSignalSpy states(f.engine.get(), &SipDialer::onCallstateChanged);
        const int toCarol
            = f.engine->makeCall(EngineFixture::request(acc, QStringLiteral("1003"), m_proxy.hostPort()),
                {QStringLiteral("PCMU/8000/1")});
        QVERIFY(toCarol >= 0);
        QTRY_VERIFY_WITH_TIMEOUT(std::any_of(states.cbegin(), states.cend(),
                                     [&](const QList<QVariant> &args) {
                                         const auto info = args.first().value<orvalo_call_info>();
                                         return info.call_id == toCarol && info.state == CallState::Confirmed;
                                     }),
            10000);
        QSignalSpy terminated(f.engine.get(), &SipDialer::onCallTerminated);
        QSignalSpy errors(f.engine.get(), &SipDialer::onErrorState);
        f.engine->warmTransferCall(toBob, toCarol);
        // Bob is referred to carol with Replaces: carol gets a new call from bob that replaces ours.
        QVERIFY2(
            carol.waitForEvent(QStringLiteral("^EVENT call .*state=IncomingReceived.*from=sip:1002@"), 10000)
                .hasMatch(),
            qPrintable(bob.output()));
        QTRY_VERIFY_WITH_TIMEOUT(terminated.count() >= 2, 10000);
        QCOMPARE(errors.count(), 0);
        QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call id=2 .*state=StreamsRunning")).hasMatch());
        expectTalking(bob, bobHeard, carol, carolHeard);
    }

    // A transfer whose consultation call ends before the REFER could go out reports the error
    // and leaves the held caller alone.
    void attendedTransferToEndedCall()
    {
        EngineFixture f;
        QVERIFY(f.engine->init());
        QSignalSpy errors(f.engine.get(), &SipDialer::onErrorState);
        f.engine->warmTransferCall(3, 4);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.first().first().value<orvalo_error_info>().message,
            QStringLiteral("Error transfering call"));
    }
};

QTEST_GUILESS_MAIN(tst_EngineRequests)
#include "tst_enginerequests.moc"
