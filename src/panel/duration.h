#pragma once

#include <QString>
#include <QtGlobal>

// "HH:MM:SS" for a number of seconds; the hours grow past two digits ("100:00:00") instead of
// wrapping at a day, and a negative span (the clock went back) shows as 00:00:00.
QString formatDuration(qint64 seconds);
