#include "panel/callrecord.h"

#include <QSqlError>
#include <QSqlQuery>

#include "core/dbmgr.h"
#include "core/log.h"
#include "panel/callrecording.h"
#include "panel/duration.h"
#include "panel/remotename.h"

const QString Callrecord::DateFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

namespace {
QString directionText(CallDirection direction)
{
    return direction == CallDirection::Outgoing ? QStringLiteral("O") : QStringLiteral("I");
}
} // namespace

Callrecord::Callrecord(dbmgr &db, int accountId, const QString &to, CallDirection direction, UtcClock clock)
    : m_db(db)
    , m_clock(std::move(clock))
    , m_accountId(accountId)
    , m_to(to)
    , m_direction(direction)
{
    m_start = now();
    insertRow();
    LOG(QStringLiteral("Call record created to ") + to);
}

Callrecord::~Callrecord()
{
    stopRecording();
    writeFinalRow();
}

QString Callrecord::toText(const QDateTime &utc)
{
    return utc.toUTC().toString(DateFormat);
}

QDateTime Callrecord::now() const
{
    return m_clock ? m_clock().toUTC() : QDateTime::currentDateTimeUtc();
}

void Callrecord::insertRow()
{
    QSqlQuery query = m_db.query();
    query.prepare(QStringLiteral("INSERT INTO cdr ( accountid, tonumber, startdatetime, calldirection ) "
                                 "VALUES  (:account, :to, :start_time, :direction)"));
    query.bindValue(QStringLiteral(":account"), m_accountId);
    query.bindValue(QStringLiteral(":to"), m_to);
    query.bindValue(QStringLiteral(":start_time"), toText(m_start));
    query.bindValue(QStringLiteral(":direction"), directionText(m_direction));
    if (!query.exec()) {
        // The final write inserts the whole row instead.
        LOG(QStringLiteral("Call record insert failed: ") + query.lastError().text());
        return;
    }
    m_cdrId = query.lastInsertId().toInt();
}

void Callrecord::answered()
{
    m_disposition = Disposition::Answered;
    m_answerTime = now();
    if (m_cdrId <= 0)
        return;
    QSqlQuery query = m_db.query();
    query.prepare(QStringLiteral("UPDATE cdr SET answerdatetime = :now WHERE cdrid = :call_id"));
    query.bindValue(QStringLiteral(":now"), toText(m_answerTime));
    query.bindValue(QStringLiteral(":call_id"), m_cdrId);
    if (!query.exec())
        LOG(QStringLiteral("Call record answer time not written: ") + query.lastError().text());
}

bool Callrecord::setSipResponseCode(int code)
{
    if (!isSipStatusCode(code)) {
        LOG(QStringLiteral("Ignoring SIP status ") + QString::number(code)
            + QStringLiteral(" for call record ") + QString::number(m_cdrId));
        return false;
    }
    m_sipCode = code;
    return true;
}

void Callrecord::resetStartTime()
{
    m_start = now();
}

qint64 Callrecord::getDuration() const
{
    return m_start.secsTo(now());
}

QString Callrecord::getRemoteDisplayName() const
{
    return remoteDisplayName(m_remote);
}

void Callrecord::startRecording(std::unique_ptr<CallRecording> recording, int callId)
{
    stopRecording();
    m_recordSlot = callId;
    m_recording = std::move(recording);
}

void Callrecord::stopRecording()
{
    if (!m_recording)
        return;
    m_recording->stop();
    m_recording.reset();
}

void Callrecord::writeFinalRow()
{
    const QDateTime end = now();
    QSqlQuery query = m_db.query();
    if (m_cdrId > 0) {
        query.prepare(QStringLiteral("UPDATE cdr SET hangupdatetime = :end_time, callduration = :duration, "
                                     "disposition = :disposition, sipresponsecode = :sip_response_code, "
                                     "remotecli = :remote, localcli = :local WHERE cdrid = :call_id"));
        query.bindValue(QStringLiteral(":call_id"), m_cdrId);
    } else {
        // The insert at creation failed: write the whole row now rather than lose it.
        query.prepare(QStringLiteral(
            "INSERT INTO cdr ( accountid, tonumber, startdatetime, calldirection, answerdatetime, "
            "hangupdatetime, callduration, disposition, sipresponsecode, remotecli, localcli ) "
            "VALUES (:account, :to, :start_time, :direction, :answer_time, :end_time, :duration, "
            ":disposition, :sip_response_code, :remote, :local)"));
        query.bindValue(QStringLiteral(":account"), m_accountId);
        query.bindValue(QStringLiteral(":to"), m_to);
        query.bindValue(QStringLiteral(":start_time"), toText(m_start));
        query.bindValue(QStringLiteral(":direction"), directionText(m_direction));
        query.bindValue(QStringLiteral(":answer_time"),
            m_answerTime.isValid() ? QVariant(toText(m_answerTime)) : QVariant());
    }
    query.bindValue(QStringLiteral(":end_time"), toText(end));
    query.bindValue(QStringLiteral(":duration"), formatDuration(m_start.secsTo(end)));
    query.bindValue(QStringLiteral(":disposition"), dispositionText(m_disposition));
    query.bindValue(QStringLiteral(":sip_response_code"), m_sipCode);
    query.bindValue(QStringLiteral(":remote"), m_remote);
    query.bindValue(QStringLiteral(":local"), m_local);
    if (!query.exec())
        LOG(QStringLiteral("Call record ") + QString::number(m_cdrId)
            + QStringLiteral(" final write failed: ") + query.lastError().text());
}
