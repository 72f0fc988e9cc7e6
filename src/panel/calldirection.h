#pragma once

// Direction of a call; the numbers are stored.
enum class CallDirection
{
    Incoming = 0,
    Outgoing = 1,
};
