#pragma once

#include <QString>

// What a call label dropped onto an offered call, a directory entry or a directory phone number
// asks for. Pure decision; the main window finds the labels and carries the plan out.
struct CallDrop
{
    enum class Action
    {
        // Not a call label of ours: the event is left alone.
        Ignore,
        // Taken, but nothing to do (the source is no call, the target has no number, both
        // transfer options are off, or the operator chose Cancel).
        Nothing,
        // The directory entry is not available: the drop is refused.
        Refuse,
        // Both options are on: ask which one, then plan again with the answer.
        Ask,
        Unattended,
        Attended
    };

    enum class Answer
    {
        NotAsked,
        Unattended,
        Attended,
        Cancel
    };

    struct Input
    {
        bool payload = false;
        // The payload names the label of one of our calls.
        bool sourceCall = false;
        // Dropped onto a directory entry, and whether it is available; else onto a phone number
        // (empty when the target is neither, such as another offered call).
        bool entry = false;
        bool entryAvailable = false;
        QString entryExtension;
        QString phoneNumber;
        QString outboundPrefix;
        bool unattendedOn = true;
        bool attendedOn = false;
        Answer answer = Answer::NotAsked;
    };

    Action action = Action::Ignore;
    // The number to transfer to: an entry's extension as it stands, a phone number with the
    // outbound prefix before it.
    QString number;

    static CallDrop plan(const Input &in);
};
