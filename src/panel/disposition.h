#pragma once

#include <QString>

// How a call ended, as stored in cdr.disposition; the numbers are fixed. A call is Answered when the
// panel answered it or the far end accepted it, and No Answer however else it ended (the SIP status
// goes into its own column). Busy, Failed and Congestion complete the column's vocabulary, which the
// Call Log filters by; no call ending selects them.
enum class Disposition
{
    Answered = 0,
    NoAnswer = 1,
    Busy = 2,
    Failed = 3,
    Congestion = 4,
};

// "Answered", "No Answer", "Busy", "Failed" or "Congestion".
QString dispositionText(Disposition disposition);

// A final SIP status is a number from 100 to 699.
bool isSipStatusCode(int code);
