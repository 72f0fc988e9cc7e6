#include "panel/callcontrolstate.h"

CallControlState CallControlState::compute(const CallControlInputs &in)
{
    CallControlState s;
    s.dialControls = in.registered;
    s.voicemail = in.registered;
    s.chat = in.registered;
    s.record = in.registered;
    s.dnd = in.registered;
    s.dialpadDialButtons = !in.hasActiveCall;

    if (in.hasActiveCall && in.answered) {
        s.page = HangupPage;
        s.hold = true;
        s.mute = true;
        s.voicemail = false;
        s.chat = false;
        s.holdText = in.localHold ? QStringLiteral("Off hold") : QStringLiteral("Hold");
        s.transfer = !in.localHold;
        return s;
    }
    if (in.hasActiveCall && in.incoming) {
        s.page = AnswerPage;
        s.dialControls = false;
        s.voicemail = false;
        s.chat = false;
        return s;
    }
    if (in.hasActiveCall) {
        s.page = HangupPage;
        return s;
    }
    s.page = DialPage;
    s.hold = false;
    s.mute = false;
    s.transfer = false;
    s.voicemail = in.registered;
    s.holdText = QStringLiteral("Hold");
    s.muteText = QStringLiteral("Mute");
    return s;
}
