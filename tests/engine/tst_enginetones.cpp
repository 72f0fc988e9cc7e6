// The ring tone as the ringer device plays it, measured from the samples the file sound card wrote.

#include <cmath>

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
};

// 440 + 480 Hz, 2 s on, 4 s off, repeated: two full periods and the start of a third.
void tst_EngineTones::ringCadence()
{
    EngineFixture f;
    QVERIFY(f.startWithFileCard());
    f.engine->ring_start();
    QVERIFY(f.engine->isTonePlaying());
    QTest::qWait(13000);
    f.engine->ring_stop();
    QVERIFY(!f.engine->isTonePlaying());
    f.engine->flushFileSoundCard();

    QVector<qint16> samples;
    int rate = 0;
    QVERIFY(testbed::readWav(f.played(), &samples, &rate));
    QVERIFY(samples.size() > rate * 12);
    const QList<QPair<bool, int>> cadence = runs(toneBlocks(samples, rate));
    QVERIFY2(cadence.size() >= 5, qPrintable(QString::number(cadence.size())));
    // Block lengths (100 ms) of on, off, on, off, on; a block at a boundary may go either way.
    const int expected[] = {20, 40, 20, 40};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(cadence.at(i).first, i % 2 == 0);
        QVERIFY2(std::abs(cadence.at(i).second - expected[i]) <= 1,
            qPrintable(QStringLiteral("run %1: %2 blocks").arg(i).arg(cadence.at(i).second)));
    }
    QVERIFY(cadence.at(4).first);
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

QTEST_GUILESS_MAIN(tst_EngineTones)
#include "tst_enginetones.moc"
