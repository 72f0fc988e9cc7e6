#pragma once

#include "panel/callinfosource.h"

class SipDialer;

// The engine's current view of a call, for the call labels.
class EngineCallInfo final : public CallInfoSource
{
public:
    explicit EngineCallInfo(const SipDialer &dialer);
    std::optional<orvalo_call_info> callInfo(int callId) const override;

private:
    const SipDialer &m_dialer;
};
