#pragma once

#include <memory>

#include <QDateTime>
#include <QHash>
#include <QPointer>
#include <QString>

#include "engine/records.h"
#include "panel/calldirection.h"

class CallInfoSource;
class Callrecord;
class ClickableLabel;
class dbmgr;

// One call of one extension: its engine id, its call record, the calls the panel bridged it with
// (non-owning links, kept symmetric) and its coloured label in the call area.
class Call final
{
public:
    // Creates the record (which inserts the cdr row) and the label. `to` is the dialled number of
    // an outgoing call, the called local number of an incoming one; callId -1 is a call the engine
    // refused to create.
    Call(dbmgr &db, int accountId, int callId, const QString &to, CallDirection direction);
    ~Call();
    Call(const Call &) = delete;
    Call &operator=(const Call &) = delete;

    int getCallId() const { return m_callId; }

    Callrecord &getCallRecord() const { return *m_record; }

    bool getCallAnswered() const { return m_answered; }

    ClickableLabel *getLabel() const;

    const QHash<int, Call *> &getConnectedCalls() const { return m_connectedCalls; }

    CallDirection getCallDirection() const { return m_direction; }

    const orvalo_call_info &getCallInfo() const { return m_callInfo; }

    bool getOnHold() const { return m_onHold; }

    const QString &getTopHeader() const { return m_topHeader; }

    // Takes the call as answered and writes the answer time.
    void answerCall();

    void setCallInfo(const orvalo_call_info &info) { m_callInfo = info; }

    void setTopHeader(const QString &text) { m_topHeader = text; }

    // Links `other` to this call, and this call to `other` too when `both`. A link that already
    // exists is logged and left alone.
    void addConnectedCall(Call &other, bool both);
    // Removes the link on this side only.
    void removeConnectedCall(Call &other);

    // Redraws the label: duration, state and colour. `engine` tells whether the call is on local
    // hold; without it (or when it cannot describe the call) the call is not on hold.
    void updateLabel(const CallInfoSource *engine, const QDateTime &nowUtc = QDateTime::currentDateTimeUtc());

private:
    int m_callId;
    std::unique_ptr<Callrecord> m_record;
    bool m_answered = false;
    QPointer<ClickableLabel> m_label;
    QHash<int, Call *> m_connectedCalls;
    CallDirection m_direction;
    orvalo_call_info m_callInfo;
    bool m_onHold = false;
    QString m_topHeader;
};
