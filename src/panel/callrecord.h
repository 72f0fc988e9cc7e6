#pragma once

#include <functional>
#include <memory>

#include <QDateTime>
#include <QString>

#include "panel/calldirection.h"
#include "panel/disposition.h"

class CallRecording;
class dbmgr;

// The call detail record of one call: one row of the cdr table, written in three steps. The row
// is inserted when the record is created (so a crash mid-call still leaves it), the answer time is
// set when the panel takes the call as answered, and the final update (end, duration,
// disposition, SIP status, parties) runs when the record is destroyed. Times are UTC text.
// It also owns the call's recording while one runs.
class Callrecord final
{
public:
    // Returns the current time in UTC; tests pass their own.
    using UtcClock = std::function<QDateTime()>;

    static const QString DateFormat; // "yyyy-MM-dd HH:mm:ss"

    Callrecord(dbmgr &db, int accountId, const QString &to, CallDirection direction, UtcClock clock = {});
    ~Callrecord();
    Callrecord(const Callrecord &) = delete;
    Callrecord &operator=(const Callrecord &) = delete;

    // Marks the call answered and writes the answer time (again, for a second answer).
    void answered();

    bool isAnswered() const { return m_disposition == Disposition::Answered; }

    void setDisposition(Disposition disposition) { m_disposition = disposition; }

    Disposition getDisposition() const { return m_disposition; }

    // The final SIP status of the call. A code outside 100-699 is logged and ignored. The status
    // does not change the disposition: a call nobody answered is No Answer whatever its code.
    bool setSipResponseCode(int code);

    int getSipResponseCode() const { return m_sipCode; }

    void setRemote(const QString &remote) { m_remote = remote; }

    void setLocal(const QString &local) { m_local = local; }

    const QString &getRemote() const { return m_remote; }

    const QString &getLocal() const { return m_local; }

    const QString &getTo() const { return m_to; }

    CallDirection getDirection() const { return m_direction; }

    // The row key; 0 while no row could be inserted.
    int getCdrId() const { return m_cdrId; }

    // Start time in UTC. resetStartTime() restarts the duration count (a call that got its engine
    // id late) without rewriting the stored start.
    const QDateTime &getStartTime() const { return m_start; }

    void resetStartTime();
    qint64 getDuration() const;

    QString getRemoteDisplayName() const;

    // Takes over a started recording of engine call `callId`.
    void startRecording(std::unique_ptr<CallRecording> recording, int callId);

    bool isRecording() const { return m_recording != nullptr; }

    int getRecordSlot() const { return m_recordSlot; }

    void stopRecording();

    static QString toText(const QDateTime &utc);

private:
    QDateTime now() const;
    void insertRow();
    void writeFinalRow();

    dbmgr &m_db;
    UtcClock m_clock;
    int m_accountId;
    int m_cdrId = 0;
    QString m_to;
    QDateTime m_start;
    QDateTime m_answerTime; // invalid until answered
    Disposition m_disposition = Disposition::NoAnswer;
    CallDirection m_direction;
    int m_sipCode = 0;
    QString m_remote;
    QString m_local;
    std::unique_ptr<CallRecording> m_recording;
    int m_recordSlot = -1;
};
