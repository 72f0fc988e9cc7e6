#include "callui/pacedcallwindows.h"

#include <utility>

PacedCallWindows::PacedCallWindows(CallWindows &target, QObject *parent)
    : CallWindows(parent)
    , m_target(&target)
{
    connect(&target, &CallWindows::answerRequested, this, &CallWindows::answerRequested);
    connect(&target, &CallWindows::declineRequested, this, &CallWindows::declineRequested);
    connect(&target, &CallWindows::dialRequested, this, &CallWindows::dialRequested);
}

PacedCallWindows::~PacedCallWindows() = default;

void PacedCallWindows::openIncomingCall(int callId, const QString &caller, const QString &number)
{
    submit({Kind::OpenIncoming, callId, caller, number});
}

void PacedCallWindows::closeIncomingCall(int callId)
{
    m_waiting.removeIf(
        [callId](const Request &r) { return r.kind == Kind::OpenIncoming && r.callId == callId; });
    if (m_target)
        m_target->closeIncomingCall(callId);
}

void PacedCallWindows::addMissedCall(const QString &remote)
{
    submit({Kind::AddMissed, -1, remote, {}});
}

void PacedCallWindows::showMissedCalls()
{
    if (m_target)
        m_target->showMissedCalls();
}

void PacedCallWindows::submit(Request request)
{
    if (m_turnTaken) {
        m_waiting.append(std::move(request));
        return;
    }
    carryOut(request);
}

void PacedCallWindows::carryOut(const Request &request)
{
    // Queued: the next request waits until the event loop has turned (timers, input, painting).
    m_turnTaken = true;
    QMetaObject::invokeMethod(this, &PacedCallWindows::nextTurn, Qt::QueuedConnection);
    if (!m_target)
        return;
    switch (request.kind) {
    case Kind::OpenIncoming:
        m_target->openIncomingCall(request.callId, request.first, request.second);
        break;
    case Kind::AddMissed:
        m_target->addMissedCall(request.first);
        break;
    }
}

void PacedCallWindows::nextTurn()
{
    m_turnTaken = false;
    if (!m_waiting.isEmpty())
        carryOut(m_waiting.takeFirst());
}
