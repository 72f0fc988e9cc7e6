// The files of a call recording: names, the merge of the two sides into one stereo file, per-side
// files left behind, and the recorder's failure path without a running engine.

#include <QFile>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "core/log.h"
#include "core/settings.h"
#include "engine/callrecorder.h"
#include "engine/recordingfiles.h"
#include "support/testbed.h"

namespace {

QByteArray le(quint32 value, int bytes)
{
    QByteArray out;
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xff));
    return out;
}

quint32 readLe(const QByteArray &data, int at, int bytes)
{
    quint32 value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= quint32(quint8(data.at(at + i))) << (8 * i);
    return value;
}

QVector<qint16> ramp(int count, int start)
{
    QVector<qint16> samples;
    for (int i = 0; i < count; ++i)
        samples.append(qint16(start + i));
    return samples;
}

} // namespace

class tst_RecordingFiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void merge_data();
    void merge();
    void mergeRefuses_data();
    void mergeRefuses();
    void names();
    void perSideFileSurvivesAnEndMidway();
    void recorderKeepsSidesWhenMergeFails();

private:
    QTemporaryDir m_dir;
};

void tst_RecordingFiles::initTestCase()
{
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    Log::set_output_file(m_dir.filePath(QStringLiteral("log")));
}

void tst_RecordingFiles::merge_data()
{
    QTest::addColumn<int>("leftCount");
    QTest::addColumn<int>("rightCount");
    QTest::newRow("zero-length call") << 0 << 0;
    QTest::newRow("left longer") << 5000 << 1200;
    QTest::newRow("right longer") << 3 << 9000;
    QTest::newRow("equal, several blocks") << 20000 << 20000;
}

// Frames interleave left and right, the shorter side continues as silence, and one silent frame
// closes the file; the header describes a stereo file of exactly that data.
void tst_RecordingFiles::merge()
{
    QFETCH(int, leftCount);
    QFETCH(int, rightCount);
    const QString path = m_dir.filePath(QStringLiteral("merge-%1-%2.wav").arg(leftCount).arg(rightCount));
    const QVector<qint16> left = ramp(leftCount, 1);
    const QVector<qint16> right = ramp(rightCount, -30000);
    QVERIFY(testbed::writeWav(path + QStringLiteral("-l"), left, 16000));
    QVERIFY(testbed::writeWav(path + QStringLiteral("-r"), right, 16000));
    QVERIFY(merge_audio_files(path));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray data = file.readAll();
    const int frames = qMax(leftCount, rightCount) + 1;
    QCOMPARE(data.size(), 44 + frames * 4);
    QCOMPARE(data.left(4), QByteArray("RIFF"));
    QCOMPARE(readLe(data, 4, 4), quint32(36 + frames * 4));
    QCOMPARE(readLe(data, 22, 2), 2u);
    QCOMPARE(readLe(data, 24, 4), 16000u);
    QCOMPARE(readLe(data, 28, 4), 64000u);
    QCOMPARE(readLe(data, 32, 2), 4u);
    QCOMPARE(readLe(data, 34, 2), 16u);
    QCOMPARE(readLe(data, 40, 4), quint32(frames * 4));
    for (int i = 0; i < frames; ++i) {
        const qint16 l = qint16(readLe(data, 44 + 4 * i, 2));
        const qint16 r = qint16(readLe(data, 46 + 4 * i, 2));
        QCOMPARE(l, i < leftCount ? left[i] : qint16(0));
        QCOMPARE(r, i < rightCount ? right[i] : qint16(0));
    }
    QVERIFY(!QFile::exists(path + QStringLiteral(".part")));
}

void tst_RecordingFiles::mergeRefuses_data()
{
    QTest::addColumn<int>("rightRate");
    QTest::addColumn<bool>("rightMissing");
    QTest::addColumn<bool>("rightStereo");
    QTest::newRow("different sample rates") << 8000 << false << false;
    QTest::newRow("right side missing") << 16000 << true << false;
    QTest::newRow("right side stereo") << 16000 << false << true;
}

// A merge that cannot be done leaves no final file, not even an empty or partial one.
void tst_RecordingFiles::mergeRefuses()
{
    QFETCH(int, rightRate);
    QFETCH(bool, rightMissing);
    QFETCH(bool, rightStereo);
    const QString path = m_dir.filePath(QStringLiteral("refused-%1.wav").arg(QTest::currentDataTag()));
    QVERIFY(testbed::writeWav(path + QStringLiteral("-l"), ramp(100, 0), 16000));
    if (!rightMissing) {
        QVERIFY(testbed::writeWav(path + QStringLiteral("-r"), ramp(100, 0), rightRate));
        if (rightStereo) {
            QFile file(path + QStringLiteral("-r"));
            QVERIFY(file.open(QIODevice::ReadWrite));
            file.seek(22);
            file.write(le(2, 2));
        }
    }
    QVERIFY(!merge_audio_files(path));
    QVERIFY(!QFile::exists(path));
    QVERIFY(!QFile::exists(path + QStringLiteral(".part")));
    QVERIFY(QFile::exists(path + QStringLiteral("-l")));
}

// "Orvalo-" + local time to the second + six capital letters; two recordings in the same second
// still get different names.
void tst_RecordingFiles::names()
{
    const QRegularExpression pattern(QStringLiteral("^/rec/Orvalo-\\d{8}-\\d{6}-[A-Z]{6}\\.wav$"));
    QStringList seen;
    for (int i = 0; i < 50; ++i) {
        const QString name = recordingPath(QStringLiteral("/rec"));
        QVERIFY2(pattern.match(name).hasMatch(), qPrintable(name));
        QVERIFY2(!seen.contains(name), qPrintable(name));
        seen.append(name);
    }
    // Every letter occurs: the draw covers A..Z.
    const QString letters = randomString(2000);
    QCOMPARE(letters.size(), 2000);
    for (char c = 'A'; c <= 'Z'; ++c)
        QVERIFY(letters.contains(QLatin1Char(c)));
}

// A per-side file is a readable WAV after every append (the process may end at any time), and
// such files are found again in the recordings folder.
void tst_RecordingFiles::perSideFileSurvivesAnEndMidway()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Orvalo-20260101-120000-ABCDEF.wav"));
    {
        MonoWavFile side;
        QVERIFY(side.open(path + QStringLiteral("-l"), 16000));
        const QVector<qint16> samples = ramp(800, 5);
        QVERIFY(side.append(samples.constData(), size_t(samples.size())));
        // No close(): as if the process had been killed (the file object still flushes).
        QVector<qint16> read;
        int rate = 0;
        QVERIFY(testbed::readWav(path + QStringLiteral("-l"), &read, &rate));
        QCOMPARE(rate, 16000);
        QCOMPARE(read, samples);
    }
    QVERIFY(testbed::writeWav(path + QStringLiteral("-r"), {}, 16000));
    QVERIFY(testbed::writeWav(folder.filePath(QStringLiteral("other.wav")), {}, 16000));
    QVERIFY(
        testbed::writeWav(folder.filePath(QStringLiteral("Orvalo-20260101-120001-XYZXYZ.wav")), {}, 16000));
    QCOMPARE(leftoverRecordingFiles(folder.path()),
        (QStringList {path + QStringLiteral("-l"), path + QStringLiteral("-r")}));
}

// Without a running engine the recorder still produces its files; when they cannot be merged it
// says so and keeps both sides for recovery.
void tst_RecordingFiles::recorderKeepsSidesWhenMergeFails()
{
    QTemporaryDir app;
    const QString folder = app.filePath(QStringLiteral("recordings/nested"));
    QFile settingsFile(app.filePath(QStringLiteral("settings")));
    QVERIFY(settingsFile.open(QIODevice::WriteOnly));
    settingsFile.write(QStringLiteral("UserDir=%1\n").arg(folder).toUtf8());
    settingsFile.close();
    Settings settings(app.path());

    CallRecorder recorder(settings, nullptr, 7);
    const QString path = recorder.filePath();
    QVERIFY(QDir(folder).exists());
    QVERIFY(path.startsWith(folder + QStringLiteral("/Orvalo-")));
    QVERIFY(testbed::writeWav(path + QStringLiteral("-l"), ramp(100, 0), 16000));
    QVERIFY(testbed::writeWav(path + QStringLiteral("-r"), ramp(100, 0), 8000));
    recorder.stop();
    QVERIFY(!QFile::exists(path));
    QVERIFY(QFile::exists(path + QStringLiteral("-l")));
    QVERIFY(QFile::exists(path + QStringLiteral("-r")));
    QFile log(m_dir.filePath(QStringLiteral("log")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    QVERIFY(text.contains(QStringLiteral("Recording call 7")));
    QVERIFY(text.contains(QStringLiteral("Recording ended")));
    QVERIFY(text.contains(QStringLiteral("Failed to merge audio files")));
    // A second stop does nothing.
    recorder.stop();

    // The next start finds them.
    CallRecorder::logLeftovers(settings);
    log.seek(0);
    QVERIFY(QString::fromUtf8(log.readAll())
                .contains(QStringLiteral("Unfinished recording file ") + path + QStringLiteral("-l")));
}

QTEST_GUILESS_MAIN(tst_RecordingFiles)
#include "tst_recordingfiles.moc"
