#include "panel/missedcaller.h"

#include <QRegularExpression>

MissedCaller missedCaller(const QString &remote)
{
    static const QRegularExpression pattern(QStringLiteral("(^.+)?<.*sip:([0-9]+)"));
    MissedCaller caller;
    if (const QRegularExpressionMatch m = pattern.match(remote); m.hasMatch()) {
        caller.name = m.captured(1);
        caller.number = m.captured(2);
    }
    if (caller.name.isEmpty())
        caller.name = caller.number;
    return caller;
}
