#pragma once

#include <QString>

#include "panel/calldirection.h"

// What a call label shows for the state of its call: the state line and the background colour.
struct CallLook
{
    QString stateText;
    QString colour;

    // Engine refused the call (id -1): no state, orange. Not answered: "Ringing", blue when
    // incoming, orange when outgoing. Answered: "Connected" in green, or "Hold" in yellow while
    // the call is on local hold.
    static CallLook of(int callId, bool answered, bool onLocalHold, CallDirection direction);

    static const QString Orange;
    static const QString Blue;
    static const QString Green;
    static const QString Yellow;
};

// The rich text of a call label: icon, top header, duration, "Calling"/"Incoming call from" with
// the remote name, and the state line.
QString callLabelHtml(CallDirection direction, const QString &topHeader, const QString &duration,
    const QString &remoteName, const QString &stateText);

// The style sheet of a call label with the given background.
QString callLabelStyleSheet(const QString &colour);
