// The ring tone as the ringer device plays it, measured from the samples the file sound card wrote.

#include <cmath>

#include <QDir>
#include <QSignalSpy>
#include <QTest>

#include "enginefixture.h"

namespace {

constexpr int BlockMs = 100;

// Per 100 ms block: true when the block carries the ring tone (both 440 and 480 Hz, together most
// of the energy, not silence).
QVector<bool> toneBlocks(const QVector<qint16> &samples, int rate)
{
    QVector<bool> blocks;
    const int size = rate * BlockMs / 1000;
    for (int start = 0; start + size <= samples.size(); start += size) {
        const QVector<qint16> block = samples.mid(start, size);
        const double f440 = testbed::toneFraction(block, rate, 440.0);
        const double f480 = testbed::toneFraction(block, rate, 480.0);
        blocks.append(testbed::rms(block) > 0.01 && f440 > 0.2 && f480 > 0.2 && f440 + f480 > 0.8);
    }
    return blocks;
}

// Lengths of the runs of equal values, starting with the first tone block.
QList<QPair<bool, int>> runs(const QVector<bool> &blocks)
{
    QList<QPair<bool, int>> result;
    const int first = int(blocks.indexOf(true));
    for (int i = qMax(first, 0); i < blocks.size(); ++i) {
        if (result.isEmpty() || result.last().first != blocks.at(i))
            result.append({blocks.at(i), 0});
        ++result.last().second;
    }
    return result;
}

} // namespace

class tst_EngineTones : public QObject
{
    Q_OBJECT

private slots:
    void ringCadence();
    void ringCounter();
    void playsAFileOnTheSpeaker();
    void recordsTheMicrophone();
    void ringIntoACall();
    void dtmfFeedback();
    void dtmfToTheFarEnd_data();
    void dtmfToTheFarEnd();
};

// 440 + 480 Hz, 2 s on, 4 s off, repeated: one full period and the start of the next (ringIntoACall
// checks the same cadence in a call).
void tst_EngineTones::ringCadence()
{
    EngineFixture f;
    QVERIFY(f.startWithFileCard());
    f.engine->ring_start();
    QVERIFY(f.engine->isTonePlaying());
    QTest::qWait(6600);
    f.engine->ring_stop();
    QVERIFY(!f.engine->isTonePlaying());
    f.engine->flushFileSoundCard();

    QVector<qint16> samples;
    int rate = 0;
    QVERIFY(testbed::readWav(f.played(), &samples, &rate));
    QVERIFY(samples.size() > rate * 6);
    const QList<QPair<bool, int>> cadence = runs(toneBlocks(samples, rate));
    QVERIFY2(cadence.size() >= 3, qPrintable(QString::number(cadence.size())));
    // Block lengths (100 ms) of on, off, on; a block at a boundary may go either way.
    const int expected[] = {20, 40};
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(cadence.at(i).first, i % 2 == 0);
        QVERIFY2(std::abs(cadence.at(i).second - expected[i]) <= 1,
            qPrintable(QStringLiteral("run %1: %2 blocks").arg(i).arg(cadence.at(i).second)));
    }
    QVERIFY(cadence.at(2).first);
}

// Two rings need two stops; ringback alone is stopped by any stop.
void tst_EngineTones::ringCounter()
{
    EngineFixture f;
    QVERIFY(f.startWithFileCard());
    f.engine->ring_start();
    f.engine->ring_start();
    QCOMPARE(f.engine->ringCount(), 2u);
    f.engine->ring_stop();
    QVERIFY(f.engine->isTonePlaying());
    f.engine->ring_stop();
    QVERIFY(!f.engine->isTonePlaying());
    f.engine->ringback_start();
    QVERIFY(f.engine->isTonePlaying());
    QCOMPARE(f.engine->ringCount(), 0u);
    f.engine->ring_stop();
    QVERIFY(!f.engine->isTonePlaying());
}

namespace {

// Share of 100 ms blocks from `from` to `to` (seconds) that carry the frequency.
double blocksWith(const QVector<qint16> &samples, int rate, double frequency, double from, double to)
{
    const int size = rate * BlockMs / 1000;
    int total = 0;
    int hits = 0;
    for (int start = int(from * rate); start + size <= qMin(samples.size(), qsizetype(to * rate));
         start += size) {
        const QVector<qint16> block = samples.mid(start, size);
        ++total;
        if (testbed::rms(block) > 0.01 && testbed::toneFraction(block, rate, frequency) > 0.8)
            ++hits;
    }
    return total ? double(hits) / total : 0.0;
}

// 50 ms blocks that carry the digit of the two frequencies.
int digitBlocks(const QVector<qint16> &samples, int rate, double low, double high)
{
    const int size = rate / 20;
    int count = 0;
    for (int start = 0; start + size <= samples.size(); start += size) {
        const QVector<qint16> block = samples.mid(start, size);
        if (testbed::rms(block) > 0.01 && testbed::toneFraction(block, rate, low) > 0.3
            && testbed::toneFraction(block, rate, high) > 0.3)
            ++count;
    }
    return count;
}

// First sample index of the first block that carries the frequency, -1 when none.
int onset(const QVector<qint16> &samples, int rate, double frequency)
{
    const int size = rate * BlockMs / 1000;
    for (int start = 0; start + size <= samples.size(); start += size / 4) {
        const QVector<qint16> block = samples.mid(start, size);
        if (testbed::rms(block) > 0.01 && testbed::toneFraction(block, rate, frequency) > 0.8)
            return start;
    }
    return -1;
}

} // namespace

// A second file replaces the first one at once.
void tst_EngineTones::playsAFileOnTheSpeaker()
{
    EngineFixture f;
    QVERIFY(f.startWithFileCard());
    const QString first = f.dir.filePath(QStringLiteral("first.wav"));
    const QString second = f.dir.filePath(QStringLiteral("second.wav"));
    QVERIFY(testbed::writeToneWav(first, 700, 4000, 16000));
    QVERIFY(testbed::writeToneWav(second, 1300, 1500, 8000));
    f.engine->play_audio_file(first);
    QTest::qWait(1000);
    f.engine->play_audio_file(second);
    QTest::qWait(2000);
    f.engine->stop_audio_file();
    f.engine->flushFileSoundCard();

    QVector<qint16> samples;
    int rate = 0;
    QVERIFY(testbed::readWav(f.played(), &samples, &rate));
    const int start700 = onset(samples, rate, 700);
    const int start1300 = onset(samples, rate, 1300);
    QVERIFY(start700 >= 0);
    QVERIFY(start1300 > start700);
    const double a = double(start700) / rate;
    const double b = double(start1300) / rate;
    QVERIFY2(b - a > 0.7 && b - a < 1.4, qPrintable(QString::number(b - a)));
    QVERIFY(blocksWith(samples, rate, 700, a + 0.1, b - 0.1) > 0.9);
    QVERIFY(blocksWith(samples, rate, 1300, b + 0.1, b + 1.3) > 0.9);
    QCOMPARE(blocksWith(samples, rate, 700, b + 0.1, double(samples.size()) / rate), 0.0);
}

// The microphone test records what the capture device delivers to "mic-test.wav" (working folder).
void tst_EngineTones::recordsTheMicrophone()
{
    EngineFixture f;
    const QString microphone = f.dir.filePath(QStringLiteral("microphone.wav"));
    QVERIFY(testbed::writeToneWav(microphone, 1000, 3000, 16000));
    QVERIFY(f.startWithFileCard(microphone));
    const QString previous = QDir::currentPath();
    QDir::setCurrent(f.dir.path());
    f.engine->record_microphone_audio();
    QTest::qWait(1500);
    f.engine->stop_recording_microphone_audio();
    QDir::setCurrent(previous);

    QVector<qint16> samples;
    int rate = 0;
    QVERIFY(testbed::readWav(f.dir.filePath(QStringLiteral("mic-test.wav")), &samples, &rate));
    QVERIFY2(samples.size() > rate, qPrintable(QString::number(samples.size())));
    QVERIFY(blocksWith(samples, rate, 1000, 0.1, 1.2) > 0.9);
}

// The external sound device case: the ring tone goes into a call instead of the local ringer.
void tst_EngineTones::ringIntoACall()
{
    EngineFixture f;
    QVERIFY(f.startWithFileCard());
    QSignalSpy incoming(f.engine.get(), &SipDialer::onIncomingCall);
    QSignalSpy states(f.engine.get(), &SipDialer::onCallstateChanged);
    const QString heard = f.dir.filePath(QStringLiteral("heard.wav"));
    testbed::SipPeer peer;
    QVERIFY(peer.start({QStringLiteral("--call"), QStringLiteral("sip:1001@") + f.hostPort(),
        QStringLiteral("--record"), heard}));
    const sip_call_msg answer = EngineFixture::incomingCall(incoming);
    QVERIFY(answer.call_id >= 0);
    f.engine->onAnswerButtonSlot(answer);
    QVERIFY(EngineFixture::waitConfirmed(states, -1, 5000));
    QVERIFY(!f.engine->isTonePlaying());

    f.engine->setRingerToCall(answer.call_id);
    f.engine->ring_start();
    QVERIFY(!f.engine->isTonePlaying()); // the local ringer stays silent
    QTest::qWait(6600); // one period and the start of the next
    f.engine->ring_stop();
    QTest::qWait(1000);
    peer.command(QStringLiteral("hangup"));
    QVERIFY(peer.waitForEvent(QStringLiteral("state=Released")).hasMatch());
    peer.stop();

    QVector<qint16> samples;
    int rate = 0;
    QVERIFY(testbed::readWav(heard, &samples, &rate));
    const QList<QPair<bool, int>> cadence = runs(toneBlocks(samples, rate));
    QVERIFY2(cadence.size() >= 3, qPrintable(QString::number(cadence.size())));
    QVERIFY2(std::abs(cadence.at(0).second - 20) <= 1, qPrintable(QString::number(cadence.at(0).second)));
    QVERIFY2(std::abs(cadence.at(1).second - 40) <= 2, qPrintable(QString::number(cadence.at(1).second)));
    QVERIFY(cadence.at(2).first);
    // Silence once the ring has stopped: the last second holds no tone.
    QVERIFY(!cadence.last().first);
    QVERIFY(cadence.last().second >= 8);

    // Nothing of it on the local ringer (which rang only until the answer).
    f.engine->flushFileSoundCard();
    QVERIFY(testbed::readWav(f.played(), &samples, &rate));
    QVERIFY(toneBlocks(samples, rate).count(true) < 5);
}

// A digit is heard locally (here: digit 5, 770 + 1336 Hz), also when no call is up; call id -1
// plays nothing.
void tst_EngineTones::dtmfFeedback()
{
    EngineFixture f;
    QVERIFY(f.startWithFileCard());
    f.engine->play_dtmf_tone(DTMF_SIPINFO, -1, QStringLiteral("1"));
    QTest::qWait(500);
    f.engine->play_dtmf_tone(DTMF_SIPINFO, 3, QStringLiteral("5"));
    QTest::qWait(1000);
    f.engine->flushFileSoundCard();

    QVector<qint16> samples;
    int rate = 0;
    QVERIFY(testbed::readWav(f.played(), &samples, &rate));
    // 100 ms on: one or two whole 50 ms blocks.
    const int digit5 = digitBlocks(samples, rate, 770, 1336);
    QVERIFY2(digit5 >= 1 && digit5 <= 3, qPrintable(QString::number(digit5)));
    QCOMPARE(digitBlocks(samples, rate, 697, 1209), 0);
}

void tst_EngineTones::dtmfToTheFarEnd_data()
{
    QTest::addColumn<int>("method");
    QTest::newRow("in-band") << int(DTMF_INBAND);
    QTest::newRow("RFC 2833") << int(DTMF_RFC2833);
}

// In-band: the far end hears digit 5 (770 + 1336 Hz) in the call's audio and gets no telephone
// event. RFC 2833: the far end gets the event.
void tst_EngineTones::dtmfToTheFarEnd()
{
    QFETCH(int, method);
    EngineFixture f;
    QVERIFY(f.startWithFileCard());
    QSignalSpy incoming(f.engine.get(), &SipDialer::onIncomingCall);
    const QString heard = f.dir.filePath(QStringLiteral("heard.wav"));
    testbed::SipPeer peer;
    QVERIFY(peer.start({QStringLiteral("--call"), QStringLiteral("sip:1001@") + f.hostPort(),
        QStringLiteral("--record"), heard}));
    const sip_call_msg call = EngineFixture::incomingCall(incoming);
    QVERIFY(call.call_id >= 0);
    f.engine->onAnswerButtonSlot(call);
    QVERIFY(peer.waitForEvent(QStringLiteral("^EVENT call .*state=StreamsRunning")).hasMatch());
    f.engine->play_dtmf_tone(DTMFType(method), call.call_id, QStringLiteral("5"));
    if (method == DTMF_RFC2833) {
        QVERIFY(peer.waitForEvent(QStringLiteral("^EVENT dtmf .*digit=5"), 3000).hasMatch());
        return;
    }
    QTest::qWait(600); // 100 ms of tone, then the network's and the jitter buffer's delay
    peer.command(QStringLiteral("hangup"));
    QVERIFY(peer.waitForEvent(QStringLiteral("state=Released")).hasMatch());
    QVERIFY(!peer.hasEvent(QStringLiteral("^EVENT dtmf")));
    peer.stop();

    QVector<qint16> samples;
    int rate = 0;
    QVERIFY(testbed::readWav(heard, &samples, &rate));
    const int digit5 = digitBlocks(samples, rate, 770, 1336);
    QVERIFY2(digit5 >= 1 && digit5 <= 3, qPrintable(QString::number(digit5)));
}

QTEST_GUILESS_MAIN(tst_EngineTones)
#include "tst_enginetones.moc"
