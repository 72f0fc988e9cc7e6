#include "panel/disposition.h"

QString dispositionText(Disposition disposition)
{
    switch (disposition) {
    case Disposition::Answered:
        return QStringLiteral("Answered");
    case Disposition::NoAnswer:
        return QStringLiteral("No Answer");
    case Disposition::Busy:
        return QStringLiteral("Busy");
    case Disposition::Failed:
        return QStringLiteral("Failed");
    case Disposition::Congestion:
        return QStringLiteral("Congestion");
    }
    return QStringLiteral("No Answer");
}

bool isSipStatusCode(int code)
{
    return code >= 100 && code <= 699;
}

Disposition dispositionForEnd(bool answered, int sipCode)
{
    if (answered)
        return Disposition::Answered;
    switch (sipCode) {
    case 486:
    case 600:
    case 603:
        return Disposition::Busy;
    case 503:
        return Disposition::Congestion;
    case 408:
    case 480:
    case 487:
        return Disposition::NoAnswer;
    default:
        break;
    }
    // No final failure status (none reported, provisional, or success the panel never took as
    // an answer): nobody answered.
    if (!isSipStatusCode(sipCode) || sipCode < 300)
        return Disposition::NoAnswer;
    return Disposition::Failed;
}
