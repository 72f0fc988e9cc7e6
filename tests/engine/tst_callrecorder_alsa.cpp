// The recorder's tap on a real driver of the media library: ALSA, playing into its "null" device
// (a private ALSA configuration), while the file sound card is the microphone.

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "engine/callrecorder.h"
#include "enginefixture.h"

class tst_CallRecorderAlsa : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void playedThroughAlsa();

private:
    QTemporaryDir m_home;
};

// Before any engine: ALSA reads its configuration once, from the home folder among others.
void tst_CallRecorderAlsa::initTestCase()
{
    QFile config(m_home.filePath(QStringLiteral(".asoundrc")));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write("pcm.!default {\n  type null\n}\n");
    config.close();
    qputenv("HOME", m_home.path().toUtf8());
    qputenv("ORVALO_RECORD_DRIVER_TAP", "1");
}

void tst_CallRecorderAlsa::playedThroughAlsa()
{
    QTemporaryDir recordings;
    testbed::Kamailio kamailio;
    QVERIFY(kamailio.start(false));
    EngineFixture f;
    const QString microphone = f.dir.filePath(QStringLiteral("microphone.wav"));
    QVERIFY(testbed::writeToneWav(microphone, 700, 20000, 16000));
    f.settings->setSetting(Settings::UserDir.getName(), recordings.path(), true);
    QVERIFY(f.startWithFileCard(microphone));
    const int alsa = int(f.engine->soundDevices().indexOf(QRegularExpression(QStringLiteral("ALSA.*"))));
    if (alsa < 0)
        QSKIP(qPrintable(
            QStringLiteral("no ALSA device: ") + f.engine->soundDevices().join(QStringLiteral(", "))));
    f.engine->set_sound_devices(f.engine->fileSoundCardIndex(), alsa);
    QSignalSpy registrations(f.engine.get(), &SipDialer::onRegistrationChanged);
    f.engine->registerAccount(EngineFixture::account(QStringLiteral("1001"), kamailio.hostPort(), {}));
    QVERIFY(registrations.wait(10000));

    const QString voice = f.dir.filePath(QStringLiteral("peer.wav"));
    QVERIFY(testbed::writeToneWav(voice, 1300, 20000, 8000));
    QSignalSpy incoming(f.engine.get(), &SipDialer::onIncomingCall);
    QSignalSpy terminated(f.engine.get(), &SipDialer::onCallTerminated);
    testbed::SipPeer peer;
    QVERIFY(peer.start(kamailio.peerArgs(QStringLiteral("1002"))
        << QStringLiteral("--play") << voice << QStringLiteral("--call")
        << kamailio.uri(QStringLiteral("1001")) << QStringLiteral("--hangup-after")
        << QStringLiteral("3000")));
    QTRY_COMPARE_WITH_TIMEOUT(incoming.count(), 1, 10000);
    sip_call_msg call;
    call.call_id = incoming.first().first().value<orvalo_call_info>().call_id;
    f.engine->onAnswerButtonSlot(call);
    CallRecorder recorder(*f.settings, f.engine.get(), call.call_id);
    QTRY_COMPARE_WITH_TIMEOUT(terminated.count(), 1, 10000);
    recorder.stop();

    const QString log = f.log();
    QVERIFY(log.contains(QStringLiteral("Recording taps sound driver ALSA")));
    QVERIFY(!log.contains(QStringLiteral("both sides on the left")));
    // Left: what ALSA was given to play; right: the file card's microphone.
    QFile file(recorder.filePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray data = file.readAll();
    QVERIFY(data.size() > 44 + 16000 * 4 * 2);
    QVector<qint16> left;
    QVector<qint16> right;
    for (qsizetype at = 44; at + 4 <= data.size(); at += 4) {
        left.append(qint16(quint8(data.at(at)) | quint8(data.at(at + 1)) << 8));
        right.append(qint16(quint8(data.at(at + 2)) | quint8(data.at(at + 3)) << 8));
    }
    const double heard = testbed::toneFraction(left, 16000, 1300);
    const double said = testbed::toneFraction(right, 16000, 700);
    qInfo("left %.4f at 1300 Hz, right %.4f at 700 Hz", heard, said);
    QVERIFY(heard > 0.9);
    QVERIFY(said > 0.9);
}

QTEST_GUILESS_MAIN(tst_CallRecorderAlsa)
#include "tst_callrecorder_alsa.moc"
