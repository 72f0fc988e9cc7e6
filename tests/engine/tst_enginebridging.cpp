// Calls joined to each other and DTMF, against Kamailio and scripted peers: digits by RTP event and
// SIP INFO, two parties connected before we leave, three parties mixed.

#include <QSignalSpy>
#include <QTest>

#include "enginefixture.h"

namespace {

// Peers answer at once.
QStringList answering(const QStringList &options = {})
{
    return QStringList {QStringLiteral("--auto-answer=0")} + options;
}

QStringList digitsReceived(testbed::SipPeer &peer, int count)
{
    QStringList digits;
    for (int i = 0; i < count; ++i) {
        const QRegularExpressionMatch event = peer.waitForEvent(QStringLiteral("^EVENT dtmf .*"), 5000);
        if (!event.hasMatch())
            break;
        digits.append(testbed::SipPeer::value(event.captured(0), QStringLiteral("digit")));
    }
    return digits;
}

// Tone share at a frequency over the last seconds of a recording, before its final 300 ms.
double lastSecondsTone(const QString &path, double frequency)
{
    return testbed::tailTone(path, frequency, 1700, 300);
}

} // namespace

class tst_EngineBridging : public QObject
{
    Q_OBJECT

private slots:
    void dtmf_data();
    void dtmf();
    void joinAndLeave();
    void joinUnknownCall();
    void threePartyCall_data();
    void threePartyCall();
};

void tst_EngineBridging::dtmf_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("reachesPeer");
    QTest::newRow("RFC 2833") << int(DTMF_RFC2833) << true;
    QTest::newRow("SIP INFO: feedback tone only") << int(DTMF_SIPINFO) << false;
    QTest::newRow("in-band: no telephone event") << int(DTMF_INBAND) << false;
}

// Single digits pressed one after another, then a string of digits: the peer gets them in order.
void tst_EngineBridging::dtmf()
{
    QFETCH(int, type);
    QFETCH(bool, reachesPeer);
    RegisteredEngine bed;
    QVERIFY2(bed.start(), qPrintable(bed.kamailio.log()));
    testbed::SipPeer peer;
    QVERIFY(bed.startPeer(peer, QStringLiteral("1002"), answering({QStringLiteral("--verbose")})));
    const int call = bed.call(QStringLiteral("1002"));
    QVERIFY2(call >= 0, qPrintable(peer.output()));
    QTest::qWait(300);

    const QStringList pressed = {"1", "5", "#", "*", "0"};
    for (const QString &digit : pressed) {
        bed.f.engine->play_dtmf_tone(DTMFType(type), call, digit);
        QTest::qWait(250);
    }
    bed.f.engine->play_dtmf_tone(DTMFType(type), call, QStringLiteral("987"));
    if (!reachesPeer) {
        QTest::qWait(1000);
        QVERIFY(!peer.hasEvent(QStringLiteral("^EVENT dtmf ")));
        QVERIFY(!peer.output().contains(QStringLiteral("INFO sip:")));
        return;
    }
    QCOMPARE(digitsReceived(peer, 8), (QStringList {"1", "5", "#", "*", "0", "9", "8", "7"}));
    // No call: nothing is sent.
    bed.f.engine->play_dtmf_tone(DTMFType(type), -1, QStringLiteral("4"));
    QTest::qWait(500);
    QVERIFY(!peer.hasEvent(QStringLiteral("^EVENT dtmf .*digit=4")));
    QVERIFY(!bed.f.log().contains(QStringLiteral("In-band DTMF is not available")));
    QVERIFY(!peer.output().contains(QStringLiteral("INFO sip:")));
}

// 1002 is referred to 1003 with Replaces: they end up in a call of their own and both of our
// calls end.
void tst_EngineBridging::joinAndLeave()
{
    RegisteredEngine bed;
    QVERIFY2(bed.start(), qPrintable(bed.kamailio.log()));
    testbed::SipPeer b;
    testbed::SipPeer c;
    QVERIFY(bed.startPeer(b, QStringLiteral("1002"), answering()));
    QVERIFY(bed.startPeer(c, QStringLiteral("1003"), answering()));
    const int toB = bed.call(QStringLiteral("1002"));
    const int toC = bed.call(QStringLiteral("1003"));
    QVERIFY(toB >= 0 && toC >= 0);
    QSignalSpy terminated(bed.f.engine.get(), &SipDialer::onCallTerminated);
    QSignalSpy errors(bed.f.engine.get(), &SipDialer::onErrorState);

    bed.f.engine->joinCallsAndLeave(unsigned(toB), unsigned(toC));
    QVERIFY2(b.waitForEvent(QStringLiteral("^EVENT call id=2 state=StreamsRunning dir=out")).hasMatch(),
        qPrintable(b.output()));
    QVERIFY2(c.waitForEvent(QStringLiteral("^EVENT call id=2 state=StreamsRunning dir=in")).hasMatch(),
        qPrintable(c.output()));
    QTRY_COMPARE_WITH_TIMEOUT(terminated.count(), 2, 10000);
    QCOMPARE(errors.count(), 0);
    QCOMPARE(bed.f.engine->callCount(), 0);
    // The two parties still talk to each other.
    QTest::qWait(500);
    QVERIFY(!b.hasEvent(QStringLiteral("^EVENT call id=2 state=End")));
    QVERIFY(!c.hasEvent(QStringLiteral("^EVENT call id=2 state=End")));
}

void tst_EngineBridging::joinUnknownCall()
{
    EngineFixture f;
    QVERIFY(f.engine->init());
    QSignalSpy errors(f.engine.get(), &SipDialer::onErrorState);
    f.engine->joinCallsAndLeave(3, 4);
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.first().first().value<orvalo_error_info>().message, QStringLiteral("Error joining call"));
}

void tst_EngineBridging::threePartyCall_data()
{
    QTest::addColumn<bool>("firstHeld");
    QTest::newRow("connected as soon as the second call is up") << false;
    QTest::newRow("the first call held meanwhile") << true;
}

// We speak 700 Hz, 1002 speaks 1100 Hz and 1003 1500 Hz: once the calls are connected each
// party hears both others, and neither call is put on hold on the way.
void tst_EngineBridging::threePartyCall()
{
    QFETCH(bool, firstHeld);
    RegisteredEngine bed;
    const QString ours = bed.f.dir.filePath(QStringLiteral("ours.wav"));
    const QString bVoice = bed.f.dir.filePath(QStringLiteral("b.wav"));
    const QString cVoice = bed.f.dir.filePath(QStringLiteral("c.wav"));
    const QString bHeard = bed.f.dir.filePath(QStringLiteral("b-heard.wav"));
    const QString cHeard = bed.f.dir.filePath(QStringLiteral("c-heard.wav"));
    QVERIFY(testbed::writeToneWav(ours, 700, 20000, 16000));
    QVERIFY(testbed::writeToneWav(bVoice, 1100, 20000, 8000));
    QVERIFY(testbed::writeToneWav(cVoice, 1500, 20000, 8000));
    QVERIFY2(bed.start(ours), qPrintable(bed.kamailio.log()));
    testbed::SipPeer b;
    testbed::SipPeer c;
    QVERIFY(bed.startPeer(b, QStringLiteral("1002"),
        answering({QStringLiteral("--play"), bVoice, QStringLiteral("--record"), bHeard})));
    QVERIFY(bed.startPeer(c, QStringLiteral("1003"),
        answering({QStringLiteral("--play"), cVoice, QStringLiteral("--record"), cHeard})));
    const int toB = bed.call(QStringLiteral("1002"));
    QVERIFY(toB >= 0);
    if (firstHeld) {
        bed.f.engine->onHoldToggleButtonSlot(EngineFixture::call(toB));
        QTRY_COMPARE_WITH_TIMEOUT(bed.f.engine->getCallDetails(toB).media_status, 2, 5000);
    }
    const int toC = bed.call(QStringLiteral("1003"));
    QVERIFY(toC >= 0);

    // Every media change of either call from here on, with the media status it left.
    QList<QPair<int, int>> media;
    QObject watch; // gone before the list
    connect(bed.f.engine.get(), &SipDialer::onCallmediaChanged, &watch, [&](int id) {
        media.append({id, bed.f.engine->getCallDetails(id).media_status});
    });
    bed.f.engine->connect_calls(toB, toC);
    QVERIFY(bed.f.log().contains(QStringLiteral("Connecting calls ") + QString::number(toB) + QLatin1Char(' ')
        + QString::number(toC)));
    QTRY_VERIFY_WITH_TIMEOUT(bed.f.engine->getCallDetails(toB).media_status == 1
            && bed.f.engine->getCallDetails(toC).media_status == 1,
        5000);
    QTest::qWait(3000);
    for (const auto &[id, status] : std::as_const(media))
        QVERIFY2(status != 2, qPrintable(QStringLiteral("call %1 put on hold").arg(id)));
    QCOMPARE(bed.f.engine->getCallDetails(toB).media_status, 1);
    QCOMPARE(bed.f.engine->getCallDetails(toC).media_status, 1);
    QVERIFY(!bed.f.log().contains(QStringLiteral("Unable to connect call")));
    QCOMPARE(bed.f.engine->callCount(), 2);
    QSignalSpy terminated(bed.f.engine.get(), &SipDialer::onCallTerminated);
    bed.f.engine->onHangupButtonSlot(EngineFixture::call(toB));
    bed.f.engine->onHangupButtonSlot(EngineFixture::call(toC));
    QTRY_COMPARE_WITH_TIMEOUT(terminated.count(), 2, 10000);
    QVERIFY(b.waitForEvent(QStringLiteral("state=Released")).hasMatch());
    QVERIFY(c.waitForEvent(QStringLiteral("state=Released")).hasMatch());
    b.stop();
    c.stop();
    bed.f.engine->flushFileSoundCard();

    const auto report = [](const char *who, double first, double second) -> QByteArray {
        return QByteArray(who) + ": " + QByteArray::number(first) + " / " + QByteArray::number(second);
    };
    const double bHears700 = lastSecondsTone(bHeard, 700), bHears1500 = lastSecondsTone(bHeard, 1500);
    const double cHears700 = lastSecondsTone(cHeard, 700), cHears1100 = lastSecondsTone(cHeard, 1100);
    const double weHear1100 = lastSecondsTone(bed.f.played(), 1100),
                 weHear1500 = lastSecondsTone(bed.f.played(), 1500);
    QVERIFY2(bHears700 > 0.2 && bHears1500 > 0.2,
        report("1002 hears us / 1003", bHears700, bHears1500).constData());
    QVERIFY2(cHears700 > 0.2 && cHears1100 > 0.2,
        report("1003 hears us / 1002", cHears700, cHears1100).constData());
    QVERIFY2(weHear1100 > 0.2 && weHear1500 > 0.2,
        report("we hear 1002 / 1003", weHear1100, weHear1500).constData());
}

QTEST_GUILESS_MAIN(tst_EngineBridging)
#include "tst_enginebridging.moc"
