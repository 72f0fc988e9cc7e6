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
