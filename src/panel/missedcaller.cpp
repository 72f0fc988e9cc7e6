#include "panel/missedcaller.h"

#include <QRegularExpression>

MissedCaller missedCaller(const QString &remote)
{
    static const QRegularExpression pattern(QStringLiteral("(^.+)?<.*sip:([0-9]+)"));
    // The engine writes a party without display name as a bare address, without angle brackets.
    static const QRegularExpression bare(QStringLiteral("^sip:([0-9]+)[@;>]"));
    MissedCaller caller;
    if (const QRegularExpressionMatch m = pattern.match(remote); m.hasMatch()) {
        caller.name = m.captured(1);
        caller.number = m.captured(2);
    } else if (const QRegularExpressionMatch b = bare.match(remote); b.hasMatch()) {
        caller.number = b.captured(1);
    }
    if (caller.name.isEmpty())
        caller.name = caller.number;
    return caller;
}
