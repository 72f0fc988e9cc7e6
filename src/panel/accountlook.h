#pragma once

#include <QString>

#include "panel/calldirection.h"

// What an extension's row shows at one refresh. The row flashes: `blink` flips at every refresh
// (once a second), an unanswered incoming call shows "RING name" only in the blink phase, and the
// voicemail count and the unread-chat mark flash in opposite phases.
struct AccountLook
{
    struct Input
    {
        bool blink = false; // already flipped for this refresh
        QString accountname;
        QString extension;
        bool hasCalls = false;
        // The active call (only read when hasCalls).
        CallDirection direction = CallDirection::Incoming;
        bool answered = false;
        QString remoteName; // incoming: the caller's display name
        QString dialled; // outgoing: the dialled number
        int messagesWaiting = 0;
        int unreadImCount = 0;
    };

    QString accountText;
    QString callText;
    QString messagesText;
    QString messagesToolTip;
    QString indicatorText;

    static AccountLook of(const Input &input);

    // Green when registered; otherwise text in the scheme's foreground; bold when selected.
    static QString styleSheet(bool registered, bool darkScheme, bool selected);
};
