#include <QTest>

#include "panel/callcontrolstate.h"
#include "panel/holdpolicy.h"

class TestCallControl final : public QObject
{
    Q_OBJECT

private slots:

    void controlState_data()
    {
        QTest::addColumn<bool>("registered");
        QTest::addColumn<bool>("active");
        QTest::addColumn<bool>("answered");
        QTest::addColumn<bool>("incoming");
        QTest::addColumn<bool>("localHold");
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("dial");
        QTest::addColumn<bool>("voicemail");
        QTest::addColumn<QString>("holdText");
        QTest::addColumn<int>("transfer"); // -1 unchanged, 0 off, 1 on
        // clang-format off
        QTest::newRow("not registered")      << false << false << false << false << false << 0 << false << false << "Hold"     << 0;
        QTest::newRow("registered, idle")    << true  << false << false << false << false << 0 << true  << true  << "Hold"     << 0;
        QTest::newRow("outgoing ringing")    << true  << true  << false << false << false << 1 << true  << true  << QString() << -1;
        QTest::newRow("incoming ringing")    << true  << true  << false << true  << false << 2 << false << false << QString() << -1;
        QTest::newRow("answered")            << true  << true  << true  << true  << false << 1 << true  << false << "Hold"     << 1;
        QTest::newRow("answered, held here") << true  << true  << true  << false << true  << 1 << true  << false << "Off hold" << 0;
        // clang-format on
    }

    void controlState()
    {
        QFETCH(bool, registered);
        QFETCH(bool, active);
        QFETCH(bool, answered);
        QFETCH(bool, incoming);
        QFETCH(bool, localHold);
        QFETCH(int, page);
        QFETCH(bool, dial);
        QFETCH(bool, voicemail);
        QFETCH(QString, holdText);
        QFETCH(int, transfer);

        const CallControlState s
            = CallControlState::compute({registered, active, answered, incoming, localHold});
        QCOMPARE(int(s.page), page);
        QCOMPARE(s.dialControls, dial);
        QCOMPARE(s.voicemail, voicemail);
        QCOMPARE(s.holdText.value_or(QString()), holdText);
        QCOMPARE(s.transfer.has_value() ? int(*s.transfer) : -1, transfer);
        QCOMPARE(s.dialpadDialButtons, !active);
        if (active && answered) {
            QCOMPARE(s.hold, std::optional<bool>(true));
            QVERIFY(!s.chat);
        }
    }

    void holdPolicyKeepsOnlyTheSelectedCall()
    {
        // Two answered calls on two extensions, a ringing one, and an external device call.
        const QList<HoldPolicyAccount> accounts {
            {0, -1, {{1, true, false}, {2, false, false}}},
            {1, 7, {{3, true, true}, {7, true, false}}},
        };
        const QList<HoldPolicyStep> steps = holdPolicy(3, accounts);
        QStringList logs;
        QList<int> toggled;
        for (const HoldPolicyStep &s : steps) {
            logs << s.log;
            if (s.toggle)
                toggled << s.callId;
        }
        QCOMPARE(logs,
            (QStringList {QStringLiteral("acc 0 call 1 mute"), QStringLiteral("acc 0 call 2 mute"),
                QStringLiteral("acc 1 call 3 unmute")}));
        // The ringing call 2 is never held; the external device call 7 is left alone.
        QCOMPARE(toggled, (QList<int> {1, 3}));
    }

    void holdPolicyAlreadyRight()
    {
        const QList<HoldPolicyAccount> accounts {
            {4, -1, {{1, true, false}, {2, true, true}, {-1, true, false}}}};
        const QList<HoldPolicyStep> steps = holdPolicy(1, accounts);
        QCOMPARE(steps.size(), 2);
        QCOMPARE(steps[0].log, QStringLiteral("acc 4 call 1 Already unmuted"));
        QCOMPARE(steps[1].log, QStringLiteral("acc 4 call 2 Already muted"));
        QVERIFY(!steps[0].toggle && !steps[1].toggle);
    }

    void selectingTheExternalCallSkipsItsExtension()
    {
        const QList<HoldPolicyAccount> accounts {
            {0, 5, {{1, true, false}, {5, true, false}}}, {1, -1, {{2, true, false}}}};
        const QList<HoldPolicyStep> steps = holdPolicy(5, accounts);
        QCOMPARE(steps.size(), 1);
        QCOMPARE(steps[0].callId, 2);
        QVERIFY(steps[0].toggle);
    }
};

QTEST_GUILESS_MAIN(TestCallControl)
#include "tst_callcontrol.moc"
