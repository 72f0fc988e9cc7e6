// Call recording against Kamailio and scripted peers: our (file) microphone says 700 Hz, the peer
// 1300 Hz; the stereo file must carry the peer on the left and us on the right, for as long as the
// call ran.

#include <algorithm>
#include <cmath>
#include <csignal>

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include "engine/callrecorder.h"
#include "enginefixture.h"

namespace {

constexpr double Ours = 700;
constexpr double Theirs = 1300;

struct Stereo
{
    QVector<qint16> left;
    QVector<qint16> right;
    int rate = 0;
};

// A canonical 16-bit stereo WAV as written by the recorder.
bool readStereo(const QString &path, Stereo *out)
{
    return testbed::readStereo(path, &out->left, &out->right, &out->rate);
}

double share(const QVector<qint16> &samples, int rate, double frequency)
{
    return testbed::toneFraction(samples, rate, frequency, testbed::Meter::Narrow);
}

QString fraction(double value)
{
    return QString::number(value, 'f', 4);
}

// A 700 Hz microphone and a recordings folder.
struct Bed : RegisteredEngine
{
    // The microphone's rate differs from the card's playing rate when it is not 16 kHz.
    bool start(int microphoneRate = 16000)
    {
        const QString microphone = f.dir.filePath(QStringLiteral("microphone.wav"));
        f.settings->setSetting(Settings::UserDir.getName(), folder(), true);
        return testbed::writeToneWav(microphone, Ours, 30000, microphoneRate)
            && RegisteredEngine::start(microphone);
    }

    QString folder() const { return recordings.filePath(QStringLiteral("Recordings")); }

    QStringList recordingFiles() const { return QDir(folder()).entryList(QDir::Files, QDir::Name); }

    bool startPeer(testbed::SipPeer &peer, const QString &user, double tone, const QStringList &options)
    {
        const QString voice = f.dir.filePath(user + QStringLiteral(".wav"));
        return testbed::writeToneWav(voice, tone, 30000, 8000)
            && RegisteredEngine::startPeer(
                peer, user, QStringList {QStringLiteral("--play"), voice} + options);
    }

    QTemporaryDir recordings;
};

} // namespace

class tst_CallRecorder : public QObject
{
    Q_OBJECT

private slots:
    void recordsEachSide_data();
    void recordsEachSide();
    void callWithoutAudio_data();
    void callWithoutAudio();
    void heldCallHearsNoOtherCall();
    void otherSoundsStayOut();
    void bridgedCalls();
};

void tst_CallRecorder::recordsEachSide_data()
{
    QTest::addColumn<bool>("muted");
    QTest::addColumn<bool>("midCall");
    QTest::addColumn<bool>("vanishes");
    QTest::addColumn<bool>("mutedMidway");
    QTest::newRow("from the answer, the peer hangs up") << false << false << false << false;
    QTest::newRow("muted microphone") << true << false << false << false;
    QTest::newRow("turned on mid-call, we hang up, 8 kHz microphone") << false << true << false << false;
    QTest::newRow("the peer vanishes, we hang up") << false << false << true << false;
    QTest::newRow("muted while recording") << false << true << false << true;
}

void tst_CallRecorder::recordsEachSide()
{
    QFETCH(bool, muted);
    QFETCH(bool, midCall);
    QFETCH(bool, vanishes);
    QFETCH(bool, mutedMidway);
    Bed bed;
    QVERIFY2(bed.start(midCall && !mutedMidway ? 8000 : 16000), qPrintable(bed.kamailio.log()));
    SipDialer &engine = *bed.f.engine;
    if (muted)
        engine.onMuteToggleButtonSlot({});

    QElapsedTimer clock;
    clock.start();
    qint64 confirmedAt = -1;
    qint64 endedAt = -1;
    QObject context;
    connect(&engine, &SipDialer::onCallstateChanged, &context, [&](const orvalo_call_info &info) {
        if (info.state == 5 && confirmedAt < 0)
            confirmedAt = clock.elapsed();
    });
    connect(&engine, &SipDialer::onCallTerminated, &context, [&] { endedAt = clock.elapsed(); });
    QSignalSpy incoming(&engine, &SipDialer::onIncomingCall);

    testbed::SipPeer peer;
    QStringList options {QStringLiteral("--call"), bed.kamailio.uri(QStringLiteral("1001"))};
    if (!midCall && !vanishes)
        options << QStringLiteral("--hangup-after") << QStringLiteral("3000");
    QVERIFY(bed.startPeer(peer, QStringLiteral("1002"), Theirs, options));
    const sip_call_msg call = EngineFixture::incomingCall(incoming);
    QVERIFY(call.call_id >= 0);
    engine.onAnswerButtonSlot(call);

    std::unique_ptr<CallRecorder> recorder;
    qint64 recordedFrom = -1;
    if (!midCall) {
        recorder = std::make_unique<CallRecorder>(*bed.f.settings, &engine, call.call_id);
        if (vanishes) {
            // Gone without a BYE: from then on nothing arrives, and the call lasts until we hang up.
            QTRY_VERIFY_WITH_TIMEOUT(confirmedAt >= 0, 5000);
            QTest::qWait(1500);
            QCOMPARE(::kill(pid_t(peer.pid()), SIGKILL), 0);
            QTest::qWait(1500);
            engine.onHangupButtonSlot(call);
        }
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(confirmedAt >= 0, 5000);
        QTest::qWait(1000);
        recordedFrom = clock.elapsed();
        recorder = std::make_unique<CallRecorder>(*bed.f.settings, &engine, call.call_id);
        if (mutedMidway) {
            QTest::qWait(1200);
            engine.onMuteToggleButtonSlot({});
            QTest::qWait(1300);
        } else {
            QTest::qWait(2500);
        }
        engine.onHangupButtonSlot(call);
    }
    QTRY_VERIFY_WITH_TIMEOUT(endedAt >= 0, 10000);
    // That was the last call: a microphone muted during it is on again for the next one.
    QTRY_VERIFY_WITH_TIMEOUT(!engine.isMuted(), 5000);
    const QString path = recorder->filePath();
    // The per-side files exist while the recording runs.
    QCOMPARE(bed.recordingFiles().size(), 2);
    recorder->stop();

    // One file, named by date, time and six letters; the per-side files are gone.
    QCOMPARE(bed.recordingFiles(), QStringList {QFileInfo(path).fileName()});
    QVERIFY2(QRegularExpression(QStringLiteral("^Orvalo-\\d{8}-\\d{6}-[A-Z]{6}\\.wav$"))
                 .match(QFileInfo(path).fileName())
                 .hasMatch(),
        qPrintable(path));

    Stereo audio;
    QVERIFY(readStereo(path, &audio));
    QCOMPARE(audio.rate, 16000);
    const qint64 lengthMs = qint64(audio.left.size() - 1) * 1000 / audio.rate;
    const qint64 callMs = endedAt - (midCall ? recordedFrom : confirmedAt);
    qInfo("recorded %lld ms, call ran %lld ms", lengthMs, callMs);
    QVERIFY2(qAbs(lengthMs - callMs) <= 100, qPrintable(QString::number(lengthMs - callMs)));

    const double left = testbed::toneFraction(audio.left, audio.rate, Theirs);
    const double leftCross = testbed::toneFraction(audio.left, audio.rate, Ours);
    qInfo("left: %s at %g Hz, %s at %g Hz", qPrintable(fraction(left)), Theirs,
        qPrintable(fraction(leftCross)), Ours);
    QVERIFY2(left > 0.9, qPrintable(fraction(left)));
    // The far end's voice reaches the file until the end of the call, not silence filled in.
    const int firstHeard = int(std::find_if(audio.left.cbegin(), audio.left.cend(), [](qint16 s) {
        return qAbs(s) > 1000;
    }) - audio.left.cbegin());
    qInfo("far end first heard after %d ms", firstHeard * 1000 / audio.rate);
    QVERIFY(firstHeard < audio.rate / 2);
    const QVector<qint16> lastPart = audio.left.mid(audio.left.size() - audio.rate / 2, audio.rate * 3 / 10);
    if (vanishes) {
        // After the far end went silent the side goes on as silence, in step with the call.
        QVERIFY2(testbed::rms(lastPart) < 0.01, qPrintable(QString::number(testbed::rms(lastPart))));
    } else {
        QVERIFY2(testbed::rms(lastPart) > 0.1 && testbed::toneFraction(lastPart, audio.rate, Theirs) > 0.6,
            qPrintable(QString::number(testbed::rms(lastPart))));
    }
    QVERIFY2(leftCross < 0.01, qPrintable(fraction(leftCross)));
    if (muted) {
        QCOMPARE(testbed::rms(audio.right), 0.0);
    } else if (mutedMidway) {
        QVERIFY(testbed::toneFraction(audio.right.mid(0, audio.rate), audio.rate, Ours) > 0.9);
        QCOMPARE(testbed::rms(audio.right.mid(audio.rate * 14 / 10)), 0.0);
    } else {
        const double right = testbed::toneFraction(audio.right, audio.rate, Ours);
        const double rightCross = testbed::toneFraction(audio.right, audio.rate, Theirs);
        qInfo("right: %s at %g Hz, %s at %g Hz", qPrintable(fraction(right)), Ours,
            qPrintable(fraction(rightCross)), Theirs);
        QVERIFY2(right > 0.9, qPrintable(fraction(right)));
        QVERIFY2(rightCross < 0.01, qPrintable(fraction(rightCross)));
        // The microphone plays from the start of the call: the right side is busy throughout.
        QVERIFY(testbed::rms(audio.right.mid(0, audio.rate / 10)) > 0.1);
    }

    const QString log = bed.f.log();
    for (const QString &line : QStringList {QStringLiteral("Recording call ") + QString::number(call.call_id),
             QStringLiteral("Creating recorder"), QStringLiteral("Recorder created"),
             QStringLiteral("Connecting call"), QStringLiteral("recorder destroyed"),
             QStringLiteral("Recording ended")})
        QVERIFY2(log.contains(line), qPrintable(line));
    QVERIFY(!log.contains(QStringLiteral("Failed")));
}

void tst_CallRecorder::callWithoutAudio_data()
{
    QTest::addColumn<bool>("writable");
    QTest::newRow("recordings folder writable") << true;
    QTest::newRow("recordings folder cannot be created") << false;
}

// A call id without a call: the recording holds nothing, and still ends as a valid stereo file;
// where no file can be written the recorder says so and leaves nothing behind.
void tst_CallRecorder::callWithoutAudio()
{
    QFETCH(bool, writable);
    Bed bed;
    QVERIFY(bed.start());
    if (!writable) {
        QFile blocker(bed.recordings.filePath(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        bed.f.settings->setSetting(
            Settings::UserDir.getName(), blocker.fileName() + QStringLiteral("/sub"), true);
    }
    CallRecorder recorder(*bed.f.settings, bed.f.engine.get(), 42);
    recorder.stop();
    const QString log = bed.f.log();
    QVERIFY(log.contains(QStringLiteral("Call has no conf port")));
    QFile file(recorder.filePath());
    if (writable) {
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.size(), 48);
        QCOMPARE(bed.recordingFiles().size(), 1);
    } else {
        QVERIFY(!file.exists());
        QVERIFY(log.contains(QStringLiteral("Failed creating recordings folder")));
        QVERIFY(log.contains(QStringLiteral("Failed creating file")));
        QVERIFY(log.contains(QStringLiteral("Failed to merge audio files")));
    }
}

// A recorded call on hold while another call is taken: the other call's voice and what we say to
// it stay out of the held call's recording.
void tst_CallRecorder::heldCallHearsNoOtherCall()
{
    Bed bed;
    QVERIFY(bed.start());
    SipDialer &engine = *bed.f.engine;
    QSignalSpy incoming(&engine, &SipDialer::onIncomingCall);
    QSignalSpy media(&engine, &SipDialer::onCallmediaChanged);
    testbed::SipPeer first;
    testbed::SipPeer second;
    QVERIFY(bed.startPeer(first, QStringLiteral("1002"), Theirs, {}));
    QVERIFY(bed.startPeer(second, QStringLiteral("1003"), 1500, {}));

    first.command(QStringLiteral("call ") + bed.kamailio.uri(QStringLiteral("1001")));
    const sip_call_msg a = EngineFixture::incomingCall(incoming);
    QVERIFY(a.call_id >= 0);
    engine.onAnswerButtonSlot(a);
    CallRecorder recorder(*bed.f.settings, &engine, a.call_id);
    QVERIFY(first.waitForEvent(QStringLiteral("^EVENT call .*state=StreamsRunning")).hasMatch());
    QTest::qWait(1000);

    engine.onHoldToggleButtonSlot(a);
    QTRY_COMPARE_WITH_TIMEOUT(engine.getCallDetails(a.call_id).media_status, 2, 5000);
    second.command(QStringLiteral("call ") + bed.kamailio.uri(QStringLiteral("1001")));
    const sip_call_msg b = EngineFixture::incomingCall(incoming, 2);
    QVERIFY(b.call_id >= 0);
    engine.onAnswerButtonSlot(b);
    QVERIFY(second.waitForEvent(QStringLiteral("^EVENT call .*state=StreamsRunning")).hasMatch());
    QTest::qWait(1500);
    engine.onHangupButtonSlot(b);
    engine.onHangupButtonSlot(a);
    QVERIFY(first.waitForEvent(QStringLiteral("^EVENT call .*state=End")).hasMatch());
    recorder.stop();

    Stereo audio;
    QVERIFY(readStereo(recorder.filePath(), &audio));
    const double other = testbed::toneFraction(audio.left, audio.rate, 1500);
    QVERIFY2(other < 0.01, qPrintable(fraction(other)));
    QVERIFY(testbed::toneFraction(audio.left.mid(0, audio.rate), audio.rate, Theirs) > 0.6);
    // We spoke to the second caller from 1.5 s on: not on this call's right channel.
    QCOMPARE(testbed::rms(audio.right.mid(audio.rate * 3 / 2)), 0.0);
    QVERIFY(testbed::rms(audio.right.mid(0, audio.rate)) > 0.1);
}

// While the recorded call runs, a second call rings (our ring tone, the stack's call-waiting
// tone), digits are pressed (feedback on our speaker, sent in-band) and a file plays: none of it
// reaches either channel. The far end keeps its level, and the recording runs to the call's end.
void tst_CallRecorder::otherSoundsStayOut()
{
    Bed bed;
    QVERIFY(bed.start());
    SipDialer &engine = *bed.f.engine;
    QSignalSpy incoming(&engine, &SipDialer::onIncomingCall);
    QSignalSpy terminated(&engine, &SipDialer::onCallTerminated);
    testbed::SipPeer first;
    testbed::SipPeer second;
    QVERIFY(bed.startPeer(second, QStringLiteral("1003"), 1500, {}));
    QVERIFY(bed.startPeer(first, QStringLiteral("1002"), Theirs,
        {QStringLiteral("--call"), bed.kamailio.uri(QStringLiteral("1001")), QStringLiteral("--hangup-after"),
            QStringLiteral("4000")}));
    const sip_call_msg call = EngineFixture::incomingCall(incoming);
    QVERIFY(call.call_id >= 0);
    engine.onAnswerButtonSlot(call);
    CallRecorder recorder(*bed.f.settings, &engine, call.call_id);
    QVERIFY(first.waitForEvent(QStringLiteral("^EVENT call .*state=StreamsRunning")).hasMatch());
    QElapsedTimer clock;
    clock.start();

    second.command(QStringLiteral("call ") + bed.kamailio.uri(QStringLiteral("1001")));
    QTRY_COMPARE_WITH_TIMEOUT(incoming.count(), 2, 5000);
    engine.ring_start();
    const QString announcement = bed.f.dir.filePath(QStringLiteral("announcement.wav"));
    QVERIFY(testbed::writeToneWav(announcement, 1700, 1000, 16000));
    engine.play_audio_file(announcement);
    for (const QString &digit : {QStringLiteral("5"), QStringLiteral("9")}) {
        engine.play_dtmf_tone(DTMF_INBAND, call.call_id, digit);
        QTest::qWait(300);
    }
    QTRY_COMPARE_WITH_TIMEOUT(terminated.count(), 1, 10000);
    const qint64 callMs = clock.elapsed();
    engine.ring_stop();
    recorder.stop();

    Stereo audio;
    QVERIFY(readStereo(recorder.filePath(), &audio));
    const qint64 lengthMs = qint64(audio.left.size()) * 1000 / audio.rate;
    qInfo("recorded %lld ms, call ran about %lld ms", lengthMs, callMs);
    QVERIFY2(qAbs(lengthMs - callMs) <= 200, qPrintable(QString::number(lengthMs - callMs)));
    // Ring 440 + 480 Hz, digits 5 (770 + 1336 Hz) and 9 (852 + 1477 Hz), the file, the other caller.
    const double others[] = {440, 480, 770, 1336, 852, 1477, 1700, 1500};
    for (const auto &[channel, own] : {std::pair {&audio.left, Theirs}, std::pair {&audio.right, Ours}}) {
        const double ownShare = share(*channel, audio.rate, own);
        QVERIFY2(ownShare > 0.95, qPrintable(QString::number(own) + QLatin1Char(' ') + fraction(ownShare)));
        for (double other : others) {
            const double cross = share(*channel, audio.rate, other);
            QVERIFY2(cross < 0.001,
                qPrintable(QString::number(own) + QStringLiteral(" side: ") + QString::number(other)
                    + QLatin1Char(' ') + fraction(cross)));
        }
    }
    // The peer's tone at amplitude 0.5 (RMS 0.35), from its first word to its last.
    const double level = testbed::rms(audio.left.mid(audio.rate / 2, audio.left.size() - audio.rate));
    QVERIFY2(level > 0.3, qPrintable(QString::number(level)));
    const QVector<qint16> end = audio.left.mid(audio.left.size() - audio.rate * 3 / 10);
    QVERIFY2(testbed::rms(end) > 0.3, qPrintable(QString::number(testbed::rms(end))));
}

// Two calls mixed with each other (and us): each call's far end on its channel, nothing of the
// other party or of us.
void tst_CallRecorder::bridgedCalls()
{
    Bed bed;
    QVERIFY(bed.start());
    SipDialer &engine = *bed.f.engine;
    testbed::SipPeer b;
    testbed::SipPeer c;
    const QStringList answer {QStringLiteral("--auto-answer"), QStringLiteral("0")};
    QVERIFY(bed.startPeer(b, QStringLiteral("1002"), 1100, answer));
    QVERIFY(bed.startPeer(c, QStringLiteral("1003"), 1500, answer));
    const int toB = bed.call(QStringLiteral("1002"));
    const int toC = bed.call(QStringLiteral("1003"));
    QVERIFY(toB >= 0 && toC >= 0);
    engine.connect_calls(toB, toC);
    // Joining the conference takes a re-INVITE per call.
    QTest::qWait(1500);
    CallRecorder recorder(*bed.f.settings, &engine, toB, toC);
    QTest::qWait(3000);
    recorder.stop();

    QCOMPARE(bed.recordingFiles(), QStringList {QFileInfo(recorder.filePath()).fileName()});
    Stereo audio;
    QVERIFY(readStereo(recorder.filePath(), &audio));
    QVERIFY(audio.left.size() > audio.rate * 5 / 2);
    // Both calls are mixed, neither is left on hold by the join.
    QCOMPARE(engine.getCallDetails(toC).media_status, 1);
    for (const auto &[channel, own] : {std::pair {&audio.left, 1100.0}, std::pair {&audio.right, 1500.0}}) {
        const double ownShare = share(*channel, audio.rate, own);
        QVERIFY2(ownShare > 0.9, qPrintable(QString::number(own) + QLatin1Char(' ') + fraction(ownShare)));
        for (double other : {Ours, 1100.0 + 1500.0 - own})
            QVERIFY(share(*channel, audio.rate, other) < 0.001);
    }
}

QTEST_GUILESS_MAIN(tst_CallRecorder)
#include "tst_callrecorder.moc"
