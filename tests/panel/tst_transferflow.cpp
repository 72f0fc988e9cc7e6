// The attended transfer's states and what a dropped call label asks for, without a window.
#include <QTest>

#include "panel/calldrop.h"
#include "panel/transferflow.h"

Q_DECLARE_METATYPE(CallDrop::Input)

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

    void drops_data()
    {
        QTest::addColumn<CallDrop::Input>("in");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("number");
        const auto base = [] {
            CallDrop::Input in;
            in.payload = true;
            in.sourceCall = true;
            in.outboundPrefix = QStringLiteral("9");
            return in;
        };
        CallDrop::Input in;
        QTest::newRow("no payload") << in << int(CallDrop::Action::Ignore) << QString();
        in = base();
        in.sourceCall = false;
        in.phoneNumber = QStringLiteral("0312");
        QTest::newRow("payload of no call of ours") << in << int(CallDrop::Action::Nothing) << QString();
        in = base();
        QTest::newRow("onto an offered call: no number") << in << int(CallDrop::Action::Nothing) << QString();
        in = base();
        in.phoneNumber = QStringLiteral("0312");
        QTest::newRow("phone number gets the prefix")
            << in << int(CallDrop::Action::Unattended) << QStringLiteral("90312");
        in = base();
        in.entry = true;
        in.entryAvailable = true;
        in.entryExtension = QStringLiteral("204");
        QTest::newRow("entry's extension without prefix")
            << in << int(CallDrop::Action::Unattended) << QStringLiteral("204");
        in.entryAvailable = false;
        QTest::newRow("entry not available") << in << int(CallDrop::Action::Refuse) << QString();
        in = base();
        in.phoneNumber = QStringLiteral("0312");
        in.unattendedOn = false;
        in.attendedOn = true;
        QTest::newRow("attended only") << in << int(CallDrop::Action::Attended) << QStringLiteral("90312");
        in.attendedOn = false;
        QTest::newRow("both off") << in << int(CallDrop::Action::Nothing) << QStringLiteral("90312");
        in.unattendedOn = in.attendedOn = true;
        QTest::newRow("both on: ask") << in << int(CallDrop::Action::Ask) << QStringLiteral("90312");
        in.answer = CallDrop::Answer::Unattended;
        QTest::newRow("answered Unattended")
            << in << int(CallDrop::Action::Unattended) << QStringLiteral("90312");
        in.answer = CallDrop::Answer::Attended;
        QTest::newRow("answered Attended")
            << in << int(CallDrop::Action::Attended) << QStringLiteral("90312");
        in.answer = CallDrop::Answer::Cancel;
        QTest::newRow("answered Cancel: taken, nothing done")
            << in << int(CallDrop::Action::Nothing) << QStringLiteral("90312");
    }

    void drops()
    {
        QFETCH(CallDrop::Input, in);
        QFETCH(int, action);
        QFETCH(QString, number);
        const CallDrop drop = CallDrop::plan(in);
        QCOMPARE(int(drop.action), action);
        QCOMPARE(drop.number, number);
    }
};

QTEST_GUILESS_MAIN(TestTransferFlow)
#include "tst_transferflow.moc"
