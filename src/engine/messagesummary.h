#pragma once

#include <QList>
#include <QString>

// Voice-mail counts of a message-waiting NOTIFY: one entry per "Voice-Message" line, in line order.
struct VoiceMessageCount
{
    int newMessages = 0;
    int oldMessages = 0;
};

class MessageSummary final
{
public:
    // Lines are split at "\n" and each line at ":"; a line counts when its first part is exactly
    // "Voice-Message". The second part, trimmed, is "new/old"; a piece that is not a plain integer
    // counts 0 (so "2/8 (0/2)" gives 2 and 0).
    static QList<VoiceMessageCount> parse(const QString &text);
};
