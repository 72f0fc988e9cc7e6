#include "engine/messagesummary.h"

#include <QStringList>

QList<VoiceMessageCount> MessageSummary::parse(const QString &text)
{
    QList<VoiceMessageCount> counts;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const QStringList parts = line.split(QLatin1Char(':'));
        if (parts.size() < 2 || parts.at(0) != QLatin1String("Voice-Message"))
            continue;
        const QStringList pieces = parts.at(1).trimmed().split(QLatin1Char('/'));
        VoiceMessageCount count;
        count.newMessages = pieces.at(0).toInt();
        if (pieces.size() > 1)
            count.oldMessages = pieces.at(1).toInt();
        counts.append(count);
    }
    return counts;
}
