#pragma once

#include <QString>

// How a call ended, as stored in cdr.disposition; the numbers are fixed.
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

// The disposition of a call that ended with the final SIP status `sipCode` (0 when the engine never
// reported one). An answered call stays answered whatever its end; otherwise busy and declined
// (486, 600, 603) give Busy, 503 Congestion, timeouts, "temporarily unavailable" and a caller who
// gave up (408, 480, 487) or no status at all No Answer, and every other failure Failed.
Disposition dispositionForEnd(bool answered, int sipCode);
