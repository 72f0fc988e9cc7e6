#pragma once

#include <QString>

// The caller of a missed call as the missed-calls list shows it: a display name and the number to
// call back. Read from the engine's remote party text, e.g. "\"Alice\" <sip:201@example.com>" or,
// without a display name, "sip:201@example.com".
struct MissedCaller
{
    QString name; // the text before "<" as it stands (quotes and the blank kept); else the number
    QString number; // the numeric user part; empty when there is none
};

MissedCaller missedCaller(const QString &remote);
