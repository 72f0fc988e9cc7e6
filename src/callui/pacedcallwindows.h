#pragma once

#include <QList>
#include <QPointer>
#include <QString>

#include "panel/callwindows.h"

// Hands the main window's requests to other call windows, opening at most one window or missed-call
// row per turn of the event loop: a burst of calls reported together (several land in one pass of
// the SIP stack) would otherwise build all their windows in one go and freeze the panel meanwhile.
// The first request of a quiet moment is carried out at once; the ones that follow it in the same
// turn wait, in the order they came. A close is carried out at once and drops the window of that
// call still waiting to open. The target's signals are passed on.
class PacedCallWindows final : public CallWindows
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PacedCallWindows)

public:
    explicit PacedCallWindows(CallWindows &target, QObject *parent = nullptr);
    ~PacedCallWindows() override;

    void openIncomingCall(int callId, const QString &caller, const QString &number) override;
    void closeIncomingCall(int callId) override;
    void addMissedCall(const QString &remote) override;
    void showMissedCalls() override;

    // Requests still waiting for their turn.
    qsizetype waiting() const { return m_waiting.size(); }

private:
    enum class Kind
    {
        OpenIncoming,
        AddMissed
    };

    struct Request
    {
        Kind kind;
        int callId = -1;
        QString first; // caller or remote party
        QString second; // called number
    };

    void submit(Request request);
    void carryOut(const Request &request);
    void nextTurn();

    QPointer<CallWindows> m_target;
    QList<Request> m_waiting;
    bool m_turnTaken = false; // a request was carried out in this turn of the event loop
};
