// An extension with its calls: call list rules, what it reads from its row, the call labels, and
// a call label dragged onto another.
#include <map>
#include <memory>

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QSqlQuery>
#include <QTest>
#include <QVBoxLayout>
#include <QWindow>

#include "core/prompt.h"
#include "panel/account.h"
#include "panel/accountdetailswidget.h"
#include "panel/call.h"
#include "panel/callinfosource.h"
#include "panel/callrecord.h"
#include "testdatabase.h"
#include "widgets/clickablelabel.h"

namespace {
// The engine's view of calls, as a table.
struct FakeEngine final : CallInfoSource
{
    std::map<int, int> mediaStatus;

    std::optional<orvalo_call_info> callInfo(int callId) const override
    {
        const auto it = mediaStatus.find(callId);
        if (it == mediaStatus.end())
            return std::nullopt;
        orvalo_call_info info;
        info.call_id = callId;
        info.media_status = it->second;
        return info;
    }
};

// Counts the style changes (each setStyleSheet, even of the same sheet) a widget goes through.
struct StyleChanges final : QObject
{
    explicit StyleChanges(QWidget *widget) { widget->installEventFilter(this); }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::StyleChange)
            ++count;
        return false;
    }

    int count = 0;
};

QStringList ids(const Account &account)
{
    QStringList list;
    for (const auto &call : account.getCalls())
        list.append(QString::number(call->getCallId()));
    return list;
}
} // namespace

class TestAccount final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void readsItsRow();
    void styleSheetIsSetOnlyWhenItChanges();
    void missingRowRendersEmpty();
    void codecsAndDtmf();
    void duplicateCallIdKeepsOneCallAndOneRow();
    void unknownTerminationChangesNothing();
    void activeCallMoves_data();
    void activeCallMoves();
    void destroyingTheAccountFinishesEveryRecord();
    void refusedCallLabel();
    void holdTurnsTheLabelYellowAndBack();
    void connectedCallsAreSymmetric();
    void externalSoundDeviceCall();
    void dragOneCallOntoAnother();

private:
    std::unique_ptr<TestDatabase> m_db;
    ScriptedPrompt m_prompt;
    int m_accountId = 0;
};

void TestAccount::initTestCase()
{
    Prompt::install(&m_prompt);
    m_db = std::make_unique<TestDatabase>();
    QVERIFY(m_db->open());
    m_accountId = m_db->addAccount(
        QStringLiteral("Reception"), QStringLiteral("200"), QStringLiteral("pbx.example.com"));
}

void TestAccount::init()
{
    m_db->db.query().exec(QStringLiteral("DELETE FROM cdr"));
}

void TestAccount::readsItsRow()
{
    QSqlQuery q = m_db->db.account_query();
    QVERIFY(
        q.exec(QStringLiteral("UPDATE accounts SET accessid = 'a1', accesspin = '', useipv6 = 1, fromapi = 1 "
                              "WHERE accountid = ")
            + QString::number(m_accountId)));
    Account account(m_db->db, m_accountId);
    QCOMPARE(account.getAccountname(), QStringLiteral("Reception"));
    QCOMPARE(account.getUri(), QStringLiteral("sip:200@pbx.example.com"));
    QVERIFY(account.getIpv6());
    QVERIFY(account.getFromApi());
    QVERIFY(!account.canDialOutAs());
    QVERIFY(!account.isRegistered());
    QCOMPARE(account.getAccountDetailsWidget()->getAccountLabel()->text(), QStringLiteral("Reception 200"));
    account.setPjId(3);
    QVERIFY(account.isRegistered());
    QVERIFY(account.getLabel()->styleSheet().contains(QStringLiteral("#6FCF97")));
    account.setPjId(-1);
    QVERIFY(!account.getLabel()->styleSheet().contains(QStringLiteral("#6FCF97")));
}

// Every registration refreshes all extensions' labels: re-setting an unchanged sheet re-polished
// each of them (milliseconds per registration at start-up).
void TestAccount::styleSheetIsSetOnlyWhenItChanges()
{
    Account account(m_db->db, m_accountId);
    account.getLabel()->ensurePolished(); // as on screen: a new sheet polishes the label again
    StyleChanges changes(account.getLabel());
    account.setPjId(3);
    const int registered = changes.count;
    QVERIFY(registered > 0);
    account.setRegistrationFailed(false); // its 200 OK
    account.setSelectedState(false); // the refresh of the call controls
    QCOMPARE(changes.count, registered);
    account.setSelectedState(true);
    QVERIFY(changes.count > registered);
    QVERIFY(account.getLabel()->styleSheet().contains(QStringLiteral("font-weight: 600")));
    const int selected = changes.count;
    account.setRegistrationFailed(true);
    QVERIFY(changes.count > selected);
    QVERIFY(!account.getLabel()->styleSheet().contains(QStringLiteral("#6FCF97")));
}

void TestAccount::missingRowRendersEmpty()
{
    Account account(m_db->db, 9999);
    QCOMPARE(account.getUri(), QString());
    QCOMPARE(account.getAccountDetailsWidget()->getAccountLabel()->text(), QStringLiteral(" "));
    QCOMPARE(account.getCodecs(), QStringList());
    QCOMPARE(account.getDTMFType(), DTMF_RFC2833);
}

// The row's codec list and DTMF method reach the account; their readings are tst_codeclist's.
void TestAccount::codecsAndDtmf()
{
    QSqlQuery q = m_db->db.account_query();
    q.prepare(QStringLiteral("UPDATE accounts SET audiocodecs = 'g722,,ulaw', dtmftype = 'SIP INFO' "
                             "WHERE accountid = :id"));
    q.bindValue(QStringLiteral(":id"), m_accountId);
    QVERIFY(q.exec());
    Account account(m_db->db, m_accountId);
    QCOMPARE(account.getCodecs(),
        (QStringList {QStringLiteral("G722/16000/1"), QString(), QStringLiteral("PCMU/8000/1")}));
    QCOMPARE(int(account.getDTMFType()), int(DTMF_SIPINFO));
}

void TestAccount::duplicateCallIdKeepsOneCallAndOneRow()
{
    Account account(m_db->db, m_accountId);
    Call &first = account.newCall(5, QStringLiteral("201"), CallDirection::Outgoing);
    Call &again = account.newCall(5, QStringLiteral("202"), CallDirection::Incoming);
    QCOMPARE(&again, &first);
    QCOMPARE(account.activeCallCount(), 1);
    QCOMPARE(m_db->count(QStringLiteral("cdr")), 1);
    QCOMPARE(first.getCallRecord().getTo(), QStringLiteral("201"));
}

void TestAccount::unknownTerminationChangesNothing()
{
    Account account(m_db->db, m_accountId);
    account.newCall(1, QStringLiteral("201"), CallDirection::Outgoing);
    QVERIFY(!account.endCall(42));
    QCOMPARE(ids(account), QStringList {QStringLiteral("1")});
    QCOMPARE(account.getActiveCallId(), 1);
    QVERIFY(!account.setActiveCall(42));
    QCOMPARE(account.getActiveCallId(), 1);
    QSqlQuery q = m_db->db.query();
    QVERIFY(q.exec(QStringLiteral("SELECT hangupdatetime FROM cdr")));
    QVERIFY(q.next());
    QVERIFY(q.value(0).isNull());
}

void TestAccount::activeCallMoves_data()
{
    QTest::addColumn<int>("active");
    QTest::addColumn<int>("ended");
    QTest::addColumn<int>("activeAfter");

    QTest::newRow("ending the active call picks the oldest remaining") << 2 << 2 << 1;
    QTest::newRow("ending the oldest active call picks the next") << 1 << 1 << 2;
    QTest::newRow("ending another call keeps the active one") << 3 << 1 << 3;
}

void TestAccount::activeCallMoves()
{
    QFETCH(int, active);
    QFETCH(int, ended);
    QFETCH(int, activeAfter);
    Account account(m_db->db, m_accountId);
    for (int id = 1; id <= 3; ++id)
        account.newCall(id, QStringLiteral("20") + QString::number(id), CallDirection::Incoming);
    QCOMPARE(account.getActiveCallId(), 1);
    QVERIFY(account.setActiveCall(active));
    QVERIFY(account.endCall(ended));
    QCOMPARE(account.getActiveCallId(), activeAfter);
    QCOMPARE(account.activeCallCount(), 2);

    account.endCall(1);
    account.endCall(2);
    account.endCall(3);
    QCOMPARE(account.getActiveCallId(), -1);
    QCOMPARE(account.getActiveCall(), nullptr);
}

void TestAccount::destroyingTheAccountFinishesEveryRecord()
{
    {
        Account account(m_db->db, m_accountId);
        account.newCall(1, QStringLiteral("201"), CallDirection::Outgoing);
        account.newCall(2, QStringLiteral("202"), CallDirection::Incoming);
        account.answerCall(2);
    }
    QSqlQuery q = m_db->db.query();
    QVERIFY(q.exec(QStringLiteral("SELECT tonumber, disposition FROM cdr WHERE hangupdatetime IS NOT NULL "
                                  "ORDER BY cdrid")));
    QVERIFY(q.next());
    QCOMPARE(q.value(1).toString(), QStringLiteral("No Answer"));
    QVERIFY(q.next());
    QCOMPARE(q.value(1).toString(), QStringLiteral("Answered"));
    QVERIFY(!q.next());
}

void TestAccount::refusedCallLabel()
{
    Account account(m_db->db, m_accountId);
    Call &call = account.newCall(-1, QStringLiteral("201"), CallDirection::Outgoing);
    account.updateLabel();
    QVERIFY(call.getLabel()->text().contains(QStringLiteral("--:--:--")));
    QVERIFY(account.endCall(-1));
    QCOMPARE(m_db->count(QStringLiteral("cdr")), 1);
}

void TestAccount::holdTurnsTheLabelYellowAndBack()
{
    FakeEngine engine;
    Account account(m_db->db, m_accountId);
    Call &call = account.newCall(7, QStringLiteral("201"), CallDirection::Incoming);
    call.getCallRecord().setRemote(QStringLiteral("\"Alice\" <sip:100@pbx>"));
    const auto background = [&] { return call.getLabel()->styleSheet(); };

    account.updateLabel(&engine);
    QVERIFY(call.getLabel()->text().contains(QStringLiteral("Incoming call from Alice")));
    QVERIFY(call.getLabel()->text().contains(QStringLiteral("Ringing")));

    account.answerCall(7);
    engine.mediaStatus[7] = 2; // local hold
    account.updateLabel(&engine);
    QVERIFY(call.getOnHold());
    QVERIFY(background().contains(QStringLiteral("#F4D35E")));

    engine.mediaStatus[7] = 1;
    account.updateLabel(&engine);
    QVERIFY(!call.getOnHold());
    QVERIFY(background().contains(QStringLiteral("#6FCF97")));

    // An engine that cannot describe the call never shows it on hold.
    engine.mediaStatus.clear();
    account.updateLabel(&engine);
    QVERIFY(background().contains(QStringLiteral("#6FCF97")));
}

void TestAccount::connectedCallsAreSymmetric()
{
    Account account(m_db->db, m_accountId);
    Call &a = account.newCall(1, QStringLiteral("201"), CallDirection::Incoming);
    Call &b = account.newCall(2, QStringLiteral("202"), CallDirection::Outgoing);
    a.addConnectedCall(b, true);
    QCOMPARE(a.getConnectedCalls().value(2), &b);
    QCOMPARE(b.getConnectedCalls().value(1), &a);
    a.addConnectedCall(b, true); // logged, nothing changes
    QCOMPARE(a.getConnectedCalls().size(), 1);
    QCOMPARE(b.getConnectedCalls().size(), 1);

    // A call that goes away leaves no pointer behind in its partner.
    account.endCall(2);
    QVERIFY(a.getConnectedCalls().isEmpty());
}

void TestAccount::externalSoundDeviceCall()
{
    Account account(m_db->db, m_accountId);
    account.newCall(1, QStringLiteral("201"), CallDirection::Incoming);
    Call &device = account.newExternalSoundDeviceCall(2, QStringLiteral("900"), CallDirection::Outgoing);
    QCOMPARE(account.getExternalSoundDeviceCall(), &device);
    Call &newer = account.newExternalSoundDeviceCall(3, QStringLiteral("900"), CallDirection::Outgoing);
    QCOMPARE(account.getExternalSoundDeviceCall(), &newer);
    account.endCall(3);
    QCOMPARE(account.getExternalSoundDeviceCall(), nullptr);
}

void TestAccount::dragOneCallOntoAnother()
{
    Account account(m_db->db, m_accountId);
    Call &source = account.newCall(11, QStringLiteral("201"), CallDirection::Incoming);
    Call &target = account.newCall(12, QStringLiteral("202"), CallDirection::Outgoing);
    account.updateLabel();

    QWidget area;
    auto *layout = new QVBoxLayout(&area);
    layout->addWidget(source.getLabel());
    layout->addWidget(target.getLabel());
    area.resize(400, 300);
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));

    int droppedId = -1;
    int targetId = -1;
    connect(target.getLabel(), &ClickableLabel::onDrop, this, [&](QDropEvent *event, ClickableLabel *onto) {
        const ClickableLabel *from = ClickableLabel::sourceOf(event->mimeData());
        if (Call *call = account.callForLabel(from))
            droppedId = call->getCallId();
        if (Call *call = account.callForLabel(onto))
            targetId = call->getCallId();
        event->acceptProposedAction();
    });
    int clicks = 0;
    connect(source.getLabel(), &ClickableLabel::clicked, this, [&] { ++clicks; });

    // Pressing and moving starts the drag; the offscreen platform ends it at once, without a drop.
    QWindow *window = area.windowHandle();
    const QPoint from = source.getLabel()->mapTo(&area, source.getLabel()->rect().center());
    QTest::mousePress(window, Qt::LeftButton, {}, from);
    QTest::mouseMove(window, from + QPoint(5, 5));
    QTest::mouseRelease(window, Qt::LeftButton, {}, from + QPoint(5, 5));
    QVERIFY(!source.getLabel()->isDragging());
    QCOMPARE(clicks, 0); // no click follows a drag

    // Deliver what the platform would: enter and drop on the target with the drag's payload.
    const std::unique_ptr<QMimeData> payload(ClickableLabel::mimeDataFor(source.getLabel()));
    const QPointF at = target.getLabel()->rect().center();
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction | Qt::MoveAction, payload.get(), Qt::LeftButton, {});
    QApplication::sendEvent(target.getLabel(), &enter);
    QVERIFY(enter.isAccepted());
    QCOMPARE(enter.dropAction(), Qt::CopyAction);
    QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, payload.get(), Qt::LeftButton, {});
    QApplication::sendEvent(target.getLabel(), &drop);
    QCOMPARE(droppedId, 11);
    QCOMPARE(targetId, 12);

    // Other data is not taken.
    QMimeData text;
    text.setText(QStringLiteral("201"));
    QDragEnterEvent plain(at.toPoint(), Qt::CopyAction, &text, Qt::LeftButton, {});
    QApplication::sendEvent(target.getLabel(), &plain);
    QVERIFY(!plain.isAccepted());

    // A payload naming no label of ours, a cut-short one and none at all are ignored.
    QMimeData foreign;
    foreign.setData(ClickableLabel::MimeType, QByteArray(8, '\x01'));
    QCOMPARE(account.callForLabel(ClickableLabel::sourceOf(&foreign)), nullptr);
    foreign.setData(ClickableLabel::MimeType, QByteArray(3, '\0'));
    QCOMPARE(ClickableLabel::sourceOf(&foreign), nullptr);
    QCOMPARE(ClickableLabel::sourceOf(&text), nullptr);
}

QTEST_MAIN(TestAccount)
#include "tst_account.moc"
