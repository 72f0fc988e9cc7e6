#pragma once

#include <QtGlobal>

// What the stack measured of one call's audio stream, as read at one moment. Jitter and round-trip
// figures are milliseconds; rates are percentages. The "sent" figures describe what this side
// sends, as the far end reported it back over RTCP; the "received" figures what this side gets.
struct CallQuality
{
    // False when there is no such call or its audio stream has not started (no statistics yet);
    // every other member is then as constructed.
    bool available = false;
    quint64 packetsSent = 0;
    quint64 packetsReceived = 0;
    // Packets that never arrived here, counted from the stream's sequence numbers (cumulative).
    qint64 receivedLost = 0;
    // Fraction lost in the far end's last report about our stream, and in our last report.
    double sentLossRate = 0;
    double receivedLossRate = 0;
    double sentJitterMs = 0;
    double receivedJitterMs = 0;
    // Last round-trip time from an RTCP report; negative until a report gave one.
    double roundTripMs = -1;
    // The stack's quality rating of the call right now, 0 (worst) to 5 (best); negative when the
    // stack has none yet.
    double rating = -1;
};
