#pragma once

#include <optional>

#include <QString>

// What the call controls of the main window show for the current extension. Fields left empty
// keep whatever the controls showed before.
struct CallControlInputs
{
    bool registered = false;
    bool hasActiveCall = false;
    bool answered = false;
    bool incoming = false;
    bool localHold = false; // as the engine reports the active call's media
};

struct CallControlState
{
    enum Page
    {
        DialPage = 0,
        HangupPage = 1,
        AnswerPage = 2
    };

    Page page = DialPage;
    // Number field, dial pad and dial buttons, fax.
    bool dialControls = false;
    bool voicemail = false;
    bool chat = false;
    bool record = false;
    bool dnd = false;
    bool dialpadDialButtons = false;
    std::optional<bool> hold;
    std::optional<bool> mute;
    std::optional<bool> transfer;
    std::optional<QString> holdText;
    std::optional<QString> muteText;

    static CallControlState compute(const CallControlInputs &in);
};
