#pragma once

#include <optional>

#include "engine/records.h"

// Where a call label reads the engine's current view of a call (media status for local hold).
// The SIP engine implements it; tests give a table.
class CallInfoSource
{
public:
    virtual ~CallInfoSource() = default;
    // Nothing when the engine cannot describe the call.
    virtual std::optional<orvalo_call_info> callInfo(int callId) const = 0;
};
