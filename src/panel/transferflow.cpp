#include "panel/transferflow.h"

bool TransferFlow::begin(int callerId, int consultationId)
{
    if (m_stage != Stage::Idle || callerId < 0 || consultationId < 0 || callerId == consultationId)
        return false;
    m_stage = Stage::Consulting;
    m_caller = callerId;
    m_consultation = consultationId;
    return true;
}

bool TransferFlow::confirmed(int callId)
{
    if (m_stage != Stage::Consulting || callId != m_consultation)
        return false;
    m_stage = Stage::Confirmed;
    return true;
}

std::optional<std::pair<int, int>> TransferFlow::complete()
{
    if (m_stage != Stage::Consulting && m_stage != Stage::Confirmed)
        return std::nullopt;
    m_stage = Stage::Referring;
    return std::pair<int, int> {m_caller, m_consultation};
}

TransferFlow::Release TransferFlow::cancel()
{
    const Release release {m_consultation, m_stage == Stage::CallerGone ? -1 : m_caller};
    *this = TransferFlow();
    return release;
}

TransferFlow::Release TransferFlow::refused(int callerId)
{
    if (m_stage != Stage::Referring || callerId != m_caller || callerId < 0)
        return {};
    return cancel();
}

bool TransferFlow::holdsCaller(int callId) const
{
    return m_stage != Stage::Idle && m_stage != Stage::CallerGone && callId >= 0 && callId == m_caller;
}

TransferFlow::Ending TransferFlow::ended(int callId)
{
    if (m_stage == Stage::Idle || callId < 0)
        return Ending::Unrelated;
    if (m_stage == Stage::Referring) {
        if (callId == m_consultation)
            m_consultation = -1; // replaced by the caller's new call, or left: the caller's outcome tells
        if (callId != m_caller)
            return Ending::Unrelated;
        m_caller = -1;
        m_stage = Stage::CallerGone; // cancel() now hangs up only the consultation
        return Ending::Transferred;
    }
    if (callId == m_consultation) {
        // Its id may be given to a new call from now on: the cancel that follows must not hang
        // that one up.
        m_consultation = -1;
        return Ending::ConsultationEnded;
    }
    if (callId == m_caller && m_stage != Stage::CallerGone) {
        m_stage = Stage::CallerGone;
        m_caller = -1;
        return Ending::CallerEnded;
    }
    return Ending::Unrelated;
}
