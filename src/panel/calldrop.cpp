#include "panel/calldrop.h"

CallDrop CallDrop::plan(const Input &in)
{
    CallDrop drop;
    if (!in.payload)
        return drop;
    drop.action = Action::Nothing;
    if (!in.sourceCall)
        return drop;
    if (in.entry && !in.entryAvailable) {
        drop.action = Action::Refuse;
        return drop;
    }
    if (in.entry)
        drop.number = in.entryExtension;
    else if (!in.phoneNumber.isEmpty())
        drop.number = in.outboundPrefix + in.phoneNumber;
    if (drop.number.isEmpty())
        return drop;

    bool unattended = in.unattendedOn;
    bool attended = in.attendedOn;
    if (unattended && attended) {
        switch (in.answer) {
        case Answer::NotAsked:
            drop.action = Action::Ask;
            return drop;
        case Answer::Unattended:
            attended = false;
            break;
        case Answer::Attended:
            unattended = false;
            break;
        case Answer::Cancel:
            return drop;
        }
    }
    if (unattended)
        drop.action = Action::Unattended;
    else if (attended)
        drop.action = Action::Attended;
    return drop;
}
