// The cdr row of a call: the insert, the answer time and the final write, and the names shown for
// the remote party.
#include <memory>

#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

#include "core/prompt.h"
#include "panel/callrecord.h"
#include "panel/callrecording.h"
#include "panel/remotename.h"
#include "testdatabase.h"

namespace {
// A clock the test moves by hand.
struct FakeClock
{
    QDateTime now = QDateTime(QDate(2026, 3, 29), QTime(0, 59, 58), Qt::UTC);

    Callrecord::UtcClock function()
    {
        return [this] { return now; };
    }
};

struct Recording final : CallRecording
{
    int *stops;

    explicit Recording(int *counter)
        : stops(counter)
    { }

    void stop() override { ++*stops; }
};
} // namespace

class TestCallrecord final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void insertAtCreation();
    void answerTime();
    void finalRowOfAnAnsweredCall();
    void finalRowUsesUtcWhateverTheLocalZone();
    void disposition_data();
    void disposition();
    void sipCodeOutOfRange_data();
    void sipCodeOutOfRange();
    void failedInsertIsMadeUpAtTheEnd();
    void recordingStopsBeforeTheFinalWrite();
    void remoteName_data();
    void remoteName();
    void offeredCallNames_data();
    void offeredCallNames();

private:
    QSqlRecord row(int cdrid);

    std::unique_ptr<TestDatabase> m_db;
    ScriptedPrompt m_prompt;
};

void TestCallrecord::initTestCase()
{
    Prompt::install(&m_prompt);
    m_db = std::make_unique<TestDatabase>();
    QVERIFY(m_db->open());
}

void TestCallrecord::init()
{
    m_db->db.query().exec(QStringLiteral("DELETE FROM cdr"));
}

QSqlRecord TestCallrecord::row(int cdrid)
{
    QSqlQuery q = m_db->db.query();
    q.prepare(QStringLiteral("SELECT * FROM cdr WHERE cdrid = :id"));
    q.bindValue(QStringLiteral(":id"), cdrid);
    if (!q.exec() || !q.next())
        return {};
    return q.record();
}

void TestCallrecord::insertAtCreation()
{
    FakeClock clock;
    Callrecord record(m_db->db, 4, QStringLiteral("0312"), CallDirection::Outgoing, clock.function());
    QVERIFY(record.getCdrId() > 0);
    const QSqlRecord r = row(record.getCdrId());
    QCOMPARE(r.value("accountid").toInt(), 4);
    QCOMPARE(r.value("tonumber").toString(), QStringLiteral("0312"));
    QCOMPARE(r.value("startdatetime").toString(), QStringLiteral("2026-03-29 00:59:58"));
    QCOMPARE(r.value("calldirection").toString(), QStringLiteral("O"));
    QVERIFY(r.value("answerdatetime").isNull());
    QVERIFY(r.value("hangupdatetime").isNull());
    QVERIFY(r.value("disposition").isNull());
    QCOMPARE(m_db->count(QStringLiteral("cdr")), 1);
}

void TestCallrecord::answerTime()
{
    FakeClock clock;
    Callrecord record(m_db->db, 1, QStringLiteral("200"), CallDirection::Incoming, clock.function());
    QCOMPARE(row(record.getCdrId()).value("calldirection").toString(), QStringLiteral("I"));
    QVERIFY(!record.isAnswered());
    clock.now = clock.now.addSecs(7);
    record.answered();
    QVERIFY(record.isAnswered());
    QCOMPARE(
        row(record.getCdrId()).value("answerdatetime").toString(), QStringLiteral("2026-03-29 01:00:05"));
    // A second answer rewrites the time.
    clock.now = clock.now.addSecs(60);
    record.answered();
    QCOMPARE(
        row(record.getCdrId()).value("answerdatetime").toString(), QStringLiteral("2026-03-29 01:01:05"));
}

void TestCallrecord::finalRowOfAnAnsweredCall()
{
    FakeClock clock;
    int cdrid = 0;
    {
        Callrecord record(m_db->db, 2, QStringLiteral("0312"), CallDirection::Outgoing, clock.function());
        cdrid = record.getCdrId();
        record.setLocal(QStringLiteral("Reception"));
        record.setRemote(QStringLiteral("\"Bob\" <sip:0312@pbx.example.com>"));
        clock.now = clock.now.addSecs(5);
        record.answered();
        QVERIFY(record.setSipResponseCode(200));
        clock.now = clock.now.addSecs(3720); // 1 h 2 min 5 s after the start
    }
    const QSqlRecord r = row(cdrid);
    QCOMPARE(r.value("hangupdatetime").toString(), QStringLiteral("2026-03-29 02:02:03"));
    QCOMPARE(r.value("callduration").toString(), QStringLiteral("01:02:05"));
    QCOMPARE(r.value("disposition").toString(), QStringLiteral("Answered"));
    QCOMPARE(r.value("sipresponsecode").toInt(), 200);
    QCOMPARE(r.value("remotecli").toString(), QStringLiteral("\"Bob\" <sip:0312@pbx.example.com>"));
    QCOMPARE(r.value("localcli").toString(), QStringLiteral("Reception"));
    QCOMPARE(r.value("startdatetime").toString(), QStringLiteral("2026-03-29 00:59:58"));
    QCOMPARE(m_db->count(QStringLiteral("cdr")), 1);
}

void TestCallrecord::finalRowUsesUtcWhateverTheLocalZone()
{
    FakeClock clock;
    // The clock hands out a time with an offset; the row must hold its UTC text.
    clock.now = QDateTime(QDate(2026, 3, 29), QTime(3, 0, 0), Qt::OffsetFromUTC, 7200);
    int cdrid = 0;
    {
        Callrecord record(m_db->db, 1, QStringLiteral("1"), CallDirection::Incoming, clock.function());
        cdrid = record.getCdrId();
        clock.now = clock.now.addDays(1).addSecs(1);
    }
    const QSqlRecord r = row(cdrid);
    QCOMPARE(r.value("startdatetime").toString(), QStringLiteral("2026-03-29 01:00:00"));
    QCOMPARE(r.value("hangupdatetime").toString(), QStringLiteral("2026-03-30 01:00:01"));
    QCOMPARE(r.value("callduration").toString(), QStringLiteral("24:00:01"));
}

void TestCallrecord::disposition_data()
{
    QTest::addColumn<CallDirection>("direction");
    QTest::addColumn<bool>("answered");
    QTest::addColumn<int>("sipCode");
    QTest::addColumn<QString>("stored");

    const auto in = CallDirection::Incoming;
    const auto out = CallDirection::Outgoing;
    QTest::newRow("answered, hung up") << out << true << 200 << "Answered";
    QTest::newRow("answered, then 487 on the BYE") << in << true << 487 << "Answered";
    // Refused, busy or failed: the code says why, the disposition only that nobody answered
    // (the Call Log's missed calls filter on "No Answer"). One row per kind of end a status
    // could be mistaken for: busy, declined, abandoned, failed, congested, none.
    QTest::newRow("rejected by the operator 486") << in << false << 486 << "No Answer";
    QTest::newRow("declined 603") << out << false << 603 << "No Answer";
    QTest::newRow("abandoned by the caller 487") << in << false << 487 << "No Answer";
    QTest::newRow("not found 404") << out << false << 404 << "No Answer";
    QTest::newRow("unavailable 503") << out << false << 503 << "No Answer";
    // Also a dial the engine refused (tst_orvalo_e2e's dialWithoutRegistrationLeavesNoAnswerRow).
    QTest::newRow("never reported") << out << false << 0 << "No Answer";
}

void TestCallrecord::disposition()
{
    QFETCH(CallDirection, direction);
    QFETCH(bool, answered);
    QFETCH(int, sipCode);
    QFETCH(QString, stored);
    int cdrid = 0;
    {
        Callrecord record(m_db->db, 1, QStringLiteral("201"), direction);
        cdrid = record.getCdrId();
        if (answered)
            record.answered();
        if (sipCode)
            record.setSipResponseCode(sipCode);
    }
    const QSqlRecord r = row(cdrid);
    QCOMPARE(r.value("disposition").toString(), stored);
    QCOMPARE(r.value("sipresponsecode").toInt(), sipCode);
}

void TestCallrecord::sipCodeOutOfRange_data()
{
    QTest::addColumn<int>("code");
    QTest::newRow("99") << 99;
    QTest::newRow("700") << 700;
}

void TestCallrecord::sipCodeOutOfRange()
{
    QFETCH(int, code);
    int cdrid = 0;
    {
        Callrecord record(m_db->db, 1, QStringLiteral("201"), CallDirection::Outgoing);
        cdrid = record.getCdrId();
        QVERIFY(record.setSipResponseCode(486));
        QVERIFY(!record.setSipResponseCode(code));
        QCOMPARE(record.getSipResponseCode(), 486);
    }
    QCOMPARE(row(cdrid).value("sipresponsecode").toInt(), 486);
    QCOMPARE(m_db->count(QStringLiteral("cdr")), 1);
}

void TestCallrecord::failedInsertIsMadeUpAtTheEnd()
{
    FakeClock clock;
    QSqlQuery q = m_db->db.query();
    // The table is away while the call starts (a locked or damaged file would do the same).
    QVERIFY(q.exec(QStringLiteral("ALTER TABLE cdr RENAME TO cdr_away")));
    {
        Callrecord record(m_db->db, 5, QStringLiteral("0312"), CallDirection::Outgoing, clock.function());
        QCOMPARE(record.getCdrId(), 0);
        clock.now = clock.now.addSecs(2);
        record.answered();
        record.setSipResponseCode(200);
        QVERIFY(q.exec(QStringLiteral("ALTER TABLE cdr_away RENAME TO cdr")));
        clock.now = clock.now.addSecs(10);
    }
    QVERIFY(q.exec(QStringLiteral("SELECT accountid, tonumber, calldirection, startdatetime, answerdatetime, "
                                  "hangupdatetime, callduration, disposition FROM cdr")));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 5);
    QCOMPARE(q.value(1).toString(), QStringLiteral("0312"));
    QCOMPARE(q.value(2).toString(), QStringLiteral("O"));
    QCOMPARE(q.value(3).toString(), QStringLiteral("2026-03-29 00:59:58"));
    QCOMPARE(q.value(4).toString(), QStringLiteral("2026-03-29 01:00:00"));
    QCOMPARE(q.value(5).toString(), QStringLiteral("2026-03-29 01:00:10"));
    QCOMPARE(q.value(6).toString(), QStringLiteral("00:00:12"));
    QCOMPARE(q.value(7).toString(), QStringLiteral("Answered"));
    QVERIFY(!q.next());
}

void TestCallrecord::recordingStopsBeforeTheFinalWrite()
{
    int stops = 0;
    {
        Callrecord record(m_db->db, 1, QStringLiteral("1"), CallDirection::Incoming);
        record.stopRecording(); // nothing running: nothing happens
        record.startRecording(std::make_unique<Recording>(&stops), 9);
        QVERIFY(record.isRecording());
        QCOMPARE(record.getRecordSlot(), 9);
        record.stopRecording();
        QCOMPARE(stops, 1);
        QVERIFY(!record.isRecording());
        record.startRecording(std::make_unique<Recording>(&stops), 9);
    }
    QCOMPARE(stops, 2);
}

void TestCallrecord::remoteName_data()
{
    QTest::addColumn<QString>("remote");
    QTest::addColumn<QString>("name");

    // clang-format off
    QTest::newRow("quoted name") << R"("Reception" <sip:200@pbx.example.com>)" << "Reception";
    QTest::newRow("escaped quotes around the name") << R"(\"Reception\" <sip:200@pbx.example.com>)" << "Reception";
    QTest::newRow("escaped quote inside the name") << R"("Bob \"The Builder\" Smith" <sip:201@pbx>)" << R"(Bob "The Builder" Smith)";
    QTest::newRow("empty quoted name falls back to the number") << R"("" <sip:0312@pbx>)" << "0312";
    QTest::newRow("unquoted name") << "Front Desk <sip:200@pbx>" << "Front Desk";
    QTest::newRow("numeric user part") << "<sip:0312@pbx.example.com>" << "0312";
    QTest::newRow("bare sip URI") << "sip:4930123@10.0.0.1:5060" << "4930123";
    QTest::newRow("sips and E.164") << "<sips:+4930123@pbx>;tag=1" << "+4930123";
    QTest::newRow("user parameters") << "<sip:200;phone-context=pbx@pbx>" << "200";
    QTest::newRow("tel URI with separators") << "<tel:+1-212-555-0100>" << "+12125550100";
    QTest::newRow("digits only") << "1234" << "1234";
    QTest::newRow("letters in the user part") << "<sip:alice@pbx.example.com>" << QString();
    QTest::newRow("no user part") << "<sip:pbx.example.com>" << QString();
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("unterminated quote") << R"("Reception <sip:alice@pbx>)" << QString();
    // clang-format on
}

void TestCallrecord::remoteName()
{
    QFETCH(QString, remote);
    QFETCH(QString, name);
    QCOMPARE(remoteDisplayName(remote), name);
}

void TestCallrecord::offeredCallNames_data()
{
    QTest::addColumn<QString>("remoteInfo");
    QTest::addColumn<QString>("localInfo");
    QTest::addColumn<QString>("caller");
    QTest::addColumn<QString>("localNumber");

    QTest::newRow("typical") << R"("Alice" <sip:100@pbx>)"
                             << "<sip:200@pbx>"
                             << "Alice"
                             << "200";
    QTest::newRow("no display name") << "<sip:100@pbx>"
                                     << "sip:200@pbx"
                                     << "<sip:100@pbx>"
                                     << "200";
    QTest::newRow("local text without URI") << R"("A" <sip:1@p>)"
                                            << "reception"
                                            << "A"
                                            << "reception";
}

void TestCallrecord::offeredCallNames()
{
    QFETCH(QString, remoteInfo);
    QFETCH(QString, localInfo);
    QFETCH(QString, caller);
    QFETCH(QString, localNumber);
    QCOMPARE(incomingCallerName(remoteInfo), caller);
    QCOMPARE(localPartyNumber(localInfo), localNumber);
}

QTEST_GUILESS_MAIN(TestCallrecord)
#include "tst_callrecord.moc"
