// The call quality sampler: which calls give lines, the running figures and the line itself.
#include <cmath>
#include <limits>

#include <QSignalSpy>
#include <QTest>

#include "diagnostics/qualitysampler.h"

namespace {
CallQuality sample(double sentJitter, double receivedJitter, double rtt, quint64 sent = 0,
    double sentLoss = 0, qint64 receivedLost = 0)
{
    CallQuality q;
    q.available = true;
    q.packetsSent = sent;
    q.sentLossRate = sentLoss;
    q.receivedLost = receivedLost;
    q.sentJitterMs = sentJitter;
    q.receivedJitterMs = receivedJitter;
    q.roundTripMs = rtt;
    return q;
}
} // namespace

class TestQualitySampler final : public QObject
{
    Q_OBJECT

private slots:
    void lineFormat();
    void trackKeepsExtremesAndEstimatesSentLoss();
    void hostileFigures_data();
    void hostileFigures();
    void onlyCallsWithStatisticsGiveLines();
};

void TestQualitySampler::lineFormat()
{
    QualityTrack t;
    t.sentLost = 1;
    t.sentJitterMax = 20;
    t.sentJitterMin = 3;
    t.receivedLost = 4;
    t.receivedJitterMax = 50;
    t.receivedJitterMin = 6;
    t.roundTripNow = 700;
    t.roundTripMax = 800;
    t.roundTripMin = 90;
    const QDateTime when(QDate(2024, 3, 5), QTime(7, 8, 9));
    QCOMPARE(formatQualityLine(when, t),
        QStringLiteral("05-Mar-2024 07:08:09 Local: Lost 1 Maxjit 20 Minjit 3  Remote: Lost 4 Maxjit 50 "
                       "Minjit 6  RTT: Now 700 Max 800 Min 90 \n"));
    t.rating = 4.04;
    QVERIFY(formatQualityLine(when, t).endsWith(QStringLiteral("Min 90  Quality 4.0 \n")));
}

void TestQualitySampler::trackKeepsExtremesAndEstimatesSentLoss()
{
    QualityTrack t;
    t.add(sample(2.0, 5.0, -1, 100, 0, 0)); // no round trip reported yet
    QCOMPARE(t.roundTripMax, 0);
    t.add(sample(1.0, 9.5, 40.0, 300, 10.0, 7)); // 200 packets sent since, 10 % lost
    t.add(sample(4.0, 6.0, 20.0, 400, 0, 12));
    QCOMPARE(t.sentLost, 20);
    QCOMPARE(t.receivedLost, 12);
    QCOMPARE(t.sentJitterMin, 1000);
    QCOMPARE(t.sentJitterMax, 4000);
    QCOMPARE(t.receivedJitterMin, 5000);
    QCOMPARE(t.receivedJitterMax, 9500);
    QCOMPARE(t.roundTripNow, 20000);
    QCOMPARE(t.roundTripMax, 40000);
    QCOMPARE(t.roundTripMin, 20000);
    // A stream that started over (counter went back) counts its packets from zero.
    t.add(sample(4.0, 6.0, 20.0, 50, 100.0, 12));
    QCOMPARE(t.sentLost, 70);
}

void TestQualitySampler::hostileFigures_data()
{
    QTest::addColumn<double>("value");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("NaN") << nan;
    QTest::newRow("infinite") << inf;
    QTest::newRow("negative") << -5.0;
    QTest::newRow("huge") << 1e300;
}

void TestQualitySampler::hostileFigures()
{
    QFETCH(double, value);
    QualityTrack t;
    CallQuality q = sample(value, value, value, 1000, value, -3);
    q.rating = value;
    t.add(q);
    for (qint64 figure : {t.sentLost, t.receivedLost, t.sentJitterMax, t.receivedJitterMax, t.roundTripMax}) {
        QVERIFY(figure >= 0);
        QVERIFY(figure <= qint64(1e15));
    }
    QVERIFY(t.rating <= 5.0);
    QVERIFY(!formatQualityLine(QDateTime::currentDateTime(), t).contains(QLatin1String("nan")));
}

void TestQualitySampler::onlyCallsWithStatisticsGiveLines()
{
    QList<int> answered {3, 7, 9};
    QualitySampler sampler([&] { return answered; },
        [](int id) {
            // 7's media never started; 9 is gone from the stack.
            return id == 3 ? sample(1, 1, 10) : CallQuality();
        });
    QSignalSpy lines(&sampler, &QualitySampler::line);
    sampler.sample();
    QCOMPARE(lines.size(), 1);
    QVERIFY(sampler.track(3));
    QVERIFY(!sampler.track(7));
    answered = {};
    sampler.sample();
    QCOMPARE(lines.size(), 1);
    QVERIFY(!sampler.track(3)); // a call that ended forgets its figures

    // On the timer: two answered calls, two lines per round.
    answered = {3, 4};
    QualitySampler timed([&] { return answered; }, [](int) { return sample(1, 1, 10); });
    QSignalSpy timedLines(&timed, &QualitySampler::line);
    timed.setInterval(50);
    timed.start();
    QTRY_VERIFY_WITH_TIMEOUT(timedLines.size() >= 4, 2000);
    timed.stop();
    QCOMPARE(timedLines.size() % 2, 0);
}

QTEST_GUILESS_MAIN(TestQualitySampler)
#include "tst_qualitysampler.moc"
