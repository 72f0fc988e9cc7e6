// The attended transfer's states without a window (what drops ask for is tst_orvalo_transfer's,
// against the real window).
#include <QTest>

#include "panel/transferflow.h"

class TestTransferFlow final : public QObject
{
    Q_OBJECT

private slots:

    // Each way an attended transfer ends, and what the window must then hang up or release. A
    // call id the library may reuse after an end must never be hung up by a later cancel.
    void endings_data()
    {
        QTest::addColumn<QString>("script"); // steps: "c" confirm 8, "C" caller 5 ends, "T" target 8 ends
        QTest::addColumn<int>("hangUp");
        QTest::addColumn<int>("unhold");
        QTest::newRow("cancel before the target answers") << QString() << 8 << 5;
        QTest::newRow("cancel after it answered") << QStringLiteral("c") << 8 << 5;
        QTest::newRow("target refuses") << QStringLiteral("T") << -1 << 5;
        QTest::newRow("target hangs up after answering") << QStringLiteral("cT") << -1 << 5;
        QTest::newRow("caller hangs up") << QStringLiteral("cC") << 8 << -1;
        QTest::newRow("caller, then target hang up") << QStringLiteral("CT") << -1 << -1;
    }

    void endings()
    {
        QFETCH(QString, script);
        QFETCH(int, hangUp);
        QFETCH(int, unhold);
        TransferFlow flow;
        QVERIFY(flow.begin(5, 8));
        QVERIFY(!flow.begin(6, 9)); // one transfer per extension at a time
        for (const QChar step : script) {
            if (step == QLatin1Char('c'))
                QVERIFY(flow.confirmed(8));
            else if (step == QLatin1Char('C'))
                QCOMPARE(flow.ended(5), TransferFlow::Ending::CallerEnded);
            else
                QCOMPARE(flow.ended(8), TransferFlow::Ending::ConsultationEnded);
        }
        QVERIFY(flow.isRunning());
        QCOMPARE(flow.ended(77), TransferFlow::Ending::Unrelated);
        const TransferFlow::Release release = flow.cancel();
        QCOMPARE(release.hangUp, hangUp);
        QCOMPARE(release.unhold, unhold);
        QVERIFY(!flow.isRunning());
        QCOMPARE(flow.consultation(), -1);
        // Ids seen again later belong to other calls.
        QCOMPARE(flow.ended(5), TransferFlow::Ending::Unrelated);
        QCOMPARE(flow.ended(8), TransferFlow::Ending::Unrelated);
    }

    void completing()
    {
        TransferFlow flow;
        QVERIFY(!flow.complete()); // nothing placed yet
        QVERIFY(!flow.begin(-1, 3));
        QVERIFY(!flow.begin(4, 4));
        QVERIFY(!flow.confirmed(3)); // not a transfer's call
        QVERIFY(flow.begin(4, 3));
        QVERIFY(!flow.confirmed(2));
        QVERIFY(flow.confirmed(3));
        QVERIFY(!flow.confirmed(3)); // once
        const auto pair = flow.complete();
        QVERIFY(pair);
        QCOMPARE(*pair, std::make_pair(4, 3));
        QCOMPARE(flow.stage(), TransferFlow::Stage::Referring);
        QVERIFY(!flow.complete()); // once
        QCOMPARE(flow.ended(3), TransferFlow::Ending::Unrelated); // replaced
        QCOMPARE(flow.ended(4), TransferFlow::Ending::Transferred);
        QCOMPARE(flow.cancel().hangUp, -1);
        QVERIFY(!flow.isRunning());
        // The ends that follow a completed transfer are ordinary ends.
        QCOMPARE(flow.ended(4), TransferFlow::Ending::Unrelated);
        QCOMPARE(flow.ended(3), TransferFlow::Ending::Unrelated);

        // Without the caller there is nothing to complete; only a cancel ends it.
        QVERIFY(flow.begin(4, 3));
        QCOMPARE(flow.ended(4), TransferFlow::Ending::CallerEnded);
        QVERIFY(!flow.complete());
        QVERIFY(flow.isRunning());
        QCOMPARE(flow.stage(), TransferFlow::Stage::CallerGone);
    }

    // After the second Transfer the caller is being referred. However it ends, no consultation
    // call may stay up unseen, and a refusal gives the caller back to the operator.
    void referring_data()
    {
        QTest::addColumn<QString>("script"); // "T" target 8 ends, "C" caller 5 ends, "R" refused
        QTest::addColumn<int>("hangUp");
        QTest::addColumn<int>("unhold");
        QTest::newRow("target replaced, caller leaves") << QStringLiteral("TC") << -1 << -1;
        QTest::newRow("caller leaves, consultation still up") << QStringLiteral("C") << 8 << -1;
        QTest::newRow("refused") << QStringLiteral("R") << 8 << 5;
        QTest::newRow("target left, then refused") << QStringLiteral("TR") << -1 << 5;
    }

    void referring()
    {
        QFETCH(QString, script);
        QFETCH(int, hangUp);
        QFETCH(int, unhold);
        TransferFlow flow;
        QVERIFY(flow.begin(5, 8));
        QVERIFY(flow.holdsCaller(5));
        QVERIFY(!flow.holdsCaller(8));
        QVERIFY(flow.confirmed(8));
        QVERIFY(flow.complete());
        QVERIFY(flow.holdsCaller(5)); // until the outcome
        // A refusal for another call, or an end of one, changes nothing.
        QCOMPARE(flow.refused(6).hangUp, -1);
        QCOMPARE(flow.ended(6), TransferFlow::Ending::Unrelated);
        TransferFlow::Release release;
        for (const QChar step : script) {
            if (step == QLatin1Char('T')) {
                QCOMPARE(flow.ended(8), TransferFlow::Ending::Unrelated);
            } else if (step == QLatin1Char('C')) {
                QCOMPARE(flow.ended(5), TransferFlow::Ending::Transferred);
                QVERIFY(!flow.holdsCaller(5));
                release = flow.cancel();
            } else {
                release = flow.refused(5);
            }
        }
        QCOMPARE(release.hangUp, hangUp);
        QCOMPARE(release.unhold, unhold);
        QVERIFY(!flow.isRunning());
        QVERIFY(!flow.holdsCaller(5));
        QCOMPARE(flow.refused(5).unhold, -1); // once
    }
};

QTEST_GUILESS_MAIN(TestTransferFlow)
#include "tst_transferflow.moc"
