// The external sound device's decisions (which waiting caller the device's pick-up answers, what
// becomes of linked calls when one ends) and the missed-call row's reading of the caller.
#include <QTest>

#include "core/settings.h"
#include "panel/call.h"
#include "panel/externaldevice.h"
#include "panel/missedcaller.h"
#include "testdatabase.h"

class TestExternalDevice final : public QObject
{
    Q_OBJECT

    TestDatabase m_db;
    int m_account = 0;

    std::unique_ptr<Call> call(int id, CallDirection direction, bool answered = false)
    {
        auto c = std::make_unique<Call>(m_db.db, m_account, id, QStringLiteral("1001"), direction);
        if (answered)
            c->answerCall();
        QTest::qWait(5); // the next call starts later
        return c;
    }

private slots:

    void initTestCase()
    {
        QVERIFY(m_db.open());
        m_account
            = m_db.addAccount(QStringLiteral("Desk"), QStringLiteral("1001"), QStringLiteral("example.com"));
    }

    // The caller who came first is answered, not the one with the lower id; several waiting
    // callers are answered only with AnswerFirstIfMany; answered or dialled calls never are.
    void pickUpAnswersTheFirstWaitingCaller()
    {
        auto device = call(1, CallDirection::Outgoing);
        QCOMPARE(ExternalDevice::pickUpTarget(*device, true), nullptr); // nobody linked

        auto first = call(9, CallDirection::Incoming);
        device->addConnectedCall(*first, true);
        QCOMPARE(ExternalDevice::pickUpTarget(*device, false), first.get());

        auto second = call(3, CallDirection::Incoming);
        device->addConnectedCall(*second, true);
        QCOMPARE(ExternalDevice::pickUpTarget(*device, false), nullptr);
        QCOMPARE(ExternalDevice::pickUpTarget(*device, true), first.get());

        first->answerCall(); // the first is already talking: the second still waits
        QCOMPARE(ExternalDevice::pickUpTarget(*device, true), nullptr);

        auto dialledDevice = call(2, CallDirection::Outgoing);
        auto dialled = call(4, CallDirection::Outgoing);
        dialledDevice->addConnectedCall(*dialled, true);
        QCOMPARE(ExternalDevice::pickUpTarget(*dialledDevice, true), nullptr);

        // The settings decide the option: off by default.
        const ExternalDevice external(m_db.settings);
        device->removeConnectedCall(*first);
        auto third = call(11, CallDirection::Incoming);
        device->addConnectedCall(*third, true);
        QCOMPARE(external.pickUpTarget(*device), nullptr);
        m_db.settings.setSetting(Settings::AnswerFirstIfMany, Setting::Yes);
        QCOMPARE(external.pickUpTarget(*device), second.get());
        m_db.settings.setSetting(Settings::AnswerFirstIfMany, Setting::No);
    }

    void partnerOfAnEndedCall_data()
    {
        QTest::addColumn<int>("direction");
        QTest::addColumn<bool>("answered");
        QTest::addColumn<bool>("otherLinks");
        QTest::addColumn<int>("endedSeconds");
        QTest::addColumn<int>("fate");
        using F = ExternalDevice::PartnerFate;
        const int in = int(CallDirection::Incoming);
        const int out = int(CallDirection::Outgoing);
        QTest::newRow("answered caller left alone") << in << true << false << 30 << int(F::HangUp);
        QTest::newRow("device left alone") << out << false << false << 0 << int(F::HangUp);
        QTest::newRow("device still bridged to another caller") << out << true << true << 30 << int(F::Stays);
        QTest::newRow("waiting caller, device rang a while") << in << false << false << 30 << int(F::Relink);
        QTest::newRow("waiting caller, device refused at once") << in << false << false << 0 << int(F::Drop);
        QTest::newRow("waiting caller, device gone after one second")
            << in << false << false << 1 << int(F::Drop);
        QTest::newRow("waiting caller, two seconds") << in << false << false << 2 << int(F::Relink);
    }

    void partnerOfAnEndedCall()
    {
        QFETCH(int, direction);
        QFETCH(bool, answered);
        QFETCH(bool, otherLinks);
        QFETCH(int, endedSeconds);
        QFETCH(int, fate);
        auto partner = call(20, CallDirection(direction), answered);
        auto other = call(21, CallDirection::Incoming);
        if (otherLinks)
            partner->addConnectedCall(*other, true);
        QCOMPARE(int(ExternalDevice::partnerFate(*partner, endedSeconds)), fate);
    }

    void triggersFollowTheOptions()
    {
        Settings &s = m_db.settings;
        const ExternalDevice device(s);
        using T = ExternalDevice::Trigger;
        QVERIFY(!device.placesOn(T::Ring) && !device.placesOn(T::Answered)); // off by default
        s.setSetting(Settings::UseExternal, Setting::Yes);
        QVERIFY(device.placesOn(T::Ring) && !device.placesOn(T::Answered)); // "ring" by default
        s.setSetting(Settings::UseExternalOn, Setting::Answered);
        QVERIFY(!device.placesOn(T::Ring) && device.placesOn(T::Answered));
        QVERIFY(device.showsLabel());
        s.setSetting(Settings::HideExternalInboundCalls, Setting::Yes);
        QVERIFY(!device.showsLabel());
        s.setSetting(Settings::UseExternal, Setting::No);
        QVERIFY(!device.placesOn(T::Answered));
    }

    void missedCallerFromTheRemoteText_data()
    {
        QTest::addColumn<QString>("remote");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("number");
        QTest::newRow("display name") << QStringLiteral("\"Alice\" <sip:201@example.com>")
                                      << QStringLiteral("\"Alice\" ") << QStringLiteral("201");
        QTest::newRow("address only")
            << QStringLiteral("<sip:305@10.0.0.1:5060>") << QStringLiteral("305") << QStringLiteral("305");
        QTest::newRow("unquoted name") << QStringLiteral("Front desk <sip:42@pbx>")
                                       << QStringLiteral("Front desk ") << QStringLiteral("42");
        QTest::newRow("letters as user")
            << QStringLiteral("\"Bob\" <sip:bob@example.com>") << QString() << QString();
        QTest::newRow("bare URI") << QStringLiteral("sip:201@example.com") << QStringLiteral("201")
                                  << QStringLiteral("201");
        QTest::newRow("bare URI, letters")
            << QStringLiteral("sip:201x@example.com") << QString() << QString();
        QTest::newRow("empty") << QString() << QString() << QString();
        QTest::newRow("unicode name") << QStringLiteral("\"Zoë Ångström\" <sip:7@x>")
                                      << QStringLiteral("\"Zoë Ångström\" ") << QStringLiteral("7");
    }

    void missedCallerFromTheRemoteText()
    {
        QFETCH(QString, remote);
        QFETCH(QString, name);
        QFETCH(QString, number);
        const MissedCaller caller = missedCaller(remote);
        QCOMPARE(caller.name, name);
        QCOMPARE(caller.number, number);
    }
};

QTEST_MAIN(TestExternalDevice)
#include "tst_externaldevice.moc"
