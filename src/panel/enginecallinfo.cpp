#include "panel/enginecallinfo.h"

#include "engine/sipdialer.h"

EngineCallInfo::EngineCallInfo(const SipDialer &dialer)
    : m_dialer(dialer)
{ }

std::optional<orvalo_call_info> EngineCallInfo::callInfo(int callId) const
{
    if (callId < 0)
        return std::nullopt;
    const orvalo_call_info info = m_dialer.getCallDetails(callId);
    // An unknown call comes back as a default record.
    if (info.call_id != callId)
        return std::nullopt;
    return info;
}
