// What extension rows and call labels show: state colours, flashing and durations.
#include <QTest>

#include "panel/accountlook.h"
#include "panel/calllook.h"
#include "panel/duration.h"
#include "widgets/symbolfont.h"

class TestLabelLook final : public QObject
{
    Q_OBJECT

private slots:
    void callState_data();
    void callState();
    void duration_data();
    void duration();
    void ringingCallFlashes();
    void answeredCallIsSteady();
    void outgoingCallShowsDialledNumber();
    void voicemailAndChatFlashInOppositePhases();
    void toolTipPlural_data();
    void toolTipPlural();
};

void TestLabelLook::callState_data()
{
    QTest::addColumn<int>("callId");
    QTest::addColumn<bool>("answered");
    QTest::addColumn<bool>("onHold");
    QTest::addColumn<CallDirection>("direction");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("colour");

    const auto in = CallDirection::Incoming;
    const auto out = CallDirection::Outgoing;
    QTest::newRow("refused by the engine") << -1 << false << false << out << QString() << "#F6B26B";
    QTest::newRow("refused, hold ignored") << -1 << true << true << in << QString() << "#F6B26B";
    QTest::newRow("outgoing ringing") << 3 << false << false << out << "Ringing"
                                      << "#F6B26B";
    QTest::newRow("incoming ringing") << 3 << false << false << in << "Ringing"
                                      << "#7DB7E8";
    QTest::newRow("hold before answer still rings") << 3 << false << true << in << "Ringing"
                                                    << "#7DB7E8";
    QTest::newRow("answered incoming, id 0") << 0 << true << false << in << "Connected"
                                             << "#6FCF97";
    QTest::newRow("answered outgoing") << 4 << true << false << out << "Connected"
                                       << "#6FCF97";
    QTest::newRow("answered on hold") << 7 << true << true << out << "Hold"
                                      << "#F4D35E";
}

void TestLabelLook::callState()
{
    QFETCH(int, callId);
    QFETCH(bool, answered);
    QFETCH(bool, onHold);
    QFETCH(CallDirection, direction);
    QFETCH(QString, state);
    QFETCH(QString, colour);

    const CallLook look = CallLook::of(callId, answered, onHold, direction);
    QCOMPARE(look.stateText, state);
    QCOMPARE(look.colour, colour);
    QVERIFY(
        callLabelStyleSheet(look.colour).contains(QStringLiteral("background:") + colour + QLatin1Char(';')));
}

void TestLabelLook::duration_data()
{
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QString>("text");

    QTest::newRow("zero") << qint64(0) << "00:00:00";
    QTest::newRow("59 s") << qint64(59) << "00:00:59";
    // Hours, minutes and seconds, past a day too: the cdr rows of tst_callrecord.
    QTest::newRow("100 hours") << qint64(360000) << "100:00:00";
    QTest::newRow("clock went back") << qint64(-5) << "00:00:00";
}

void TestLabelLook::duration()
{
    QFETCH(qint64, seconds);
    QFETCH(QString, text);
    QCOMPARE(formatDuration(seconds), text);
}

namespace {
AccountLook::Input incomingCall(bool blink, bool answered)
{
    AccountLook::Input in;
    in.blink = blink;
    in.accountname = QStringLiteral("Reception");
    in.extension = QStringLiteral("200");
    in.hasCalls = true;
    in.direction = CallDirection::Incoming;
    in.answered = answered;
    in.remoteName = QStringLiteral("Alice");
    return in;
}
} // namespace

void TestLabelLook::ringingCallFlashes()
{
    const AccountLook on = AccountLook::of(incomingCall(true, false));
    const AccountLook off = AccountLook::of(incomingCall(false, false));
    QVERIFY(on.callText.startsWith(QStringLiteral("RING Alice ")));
    QVERIFY(on.callText.contains(SymbolFont::LeftTriangle));
    QVERIFY(!off.callText.contains(QStringLiteral("Alice")));
    QVERIFY(off.callText.contains(SymbolFont::LeftTriangle));
    QCOMPARE(on.indicatorText, SymbolFont::Dot);
    QCOMPARE(off.indicatorText, QString());
    QCOMPARE(on.accountText, QStringLiteral("Reception 200"));
}

void TestLabelLook::answeredCallIsSteady()
{
    const AccountLook on = AccountLook::of(incomingCall(true, true));
    const AccountLook off = AccountLook::of(incomingCall(false, true));
    QVERIFY(on.callText.startsWith(QStringLiteral("Alice ")));
    QCOMPARE(on.callText, off.callText);
}

void TestLabelLook::outgoingCallShowsDialledNumber()
{
    AccountLook::Input in = incomingCall(false, false);
    in.direction = CallDirection::Outgoing;
    in.dialled = QStringLiteral("0312<3>");
    const AccountLook look = AccountLook::of(in);
    QVERIFY(look.callText.startsWith(QStringLiteral("0312&lt;3&gt; ")));
    QVERIFY(look.callText.contains(SymbolFont::RightTriangle));

    AccountLook::Input idle;
    idle.blink = true;
    const AccountLook none = AccountLook::of(idle);
    QCOMPARE(none.indicatorText, QString());
    QVERIFY(!none.callText.contains(SymbolFont::LeftTriangle)
        && !none.callText.contains(SymbolFont::RightTriangle));
}

void TestLabelLook::voicemailAndChatFlashInOppositePhases()
{
    AccountLook::Input in;
    in.messagesWaiting = 3;
    in.unreadImCount = 1;
    in.blink = true;
    const AccountLook on = AccountLook::of(in);
    in.blink = false;
    const AccountLook off = AccountLook::of(in);

    QVERIFY(on.messagesText.startsWith(QStringLiteral("VM-3<a href=\"messages\"")));
    QVERIFY(!on.messagesText.contains(QStringLiteral("chartreuse")));
    QVERIFY(off.messagesText.startsWith(QStringLiteral("<a href=\"messages\"")));
    QVERIFY(off.messagesText.contains(QStringLiteral("color:chartreuse;")));
    QVERIFY(
        on.messagesText.contains(SymbolFont::Envelope) && off.messagesText.contains(SymbolFont::Envelope));

    in.unreadImCount = 0;
    QCOMPARE(AccountLook::of(in).messagesText, QString());
}

void TestLabelLook::toolTipPlural_data()
{
    QTest::addColumn<int>("unread");
    QTest::addColumn<QString>("toolTip");
    QTest::newRow("none") << 0 << "0 unread messages";
    QTest::newRow("one") << 1 << "1 unread message";
    QTest::newRow("two") << 2 << "2 unread messages";
}

void TestLabelLook::toolTipPlural()
{
    QFETCH(int, unread);
    QFETCH(QString, toolTip);
    AccountLook::Input in;
    in.unreadImCount = unread;
    QCOMPARE(AccountLook::of(in).messagesToolTip, toolTip);
}

QTEST_GUILESS_MAIN(TestLabelLook)
#include "tst_labellook.moc"
