#pragma once

#include <QString>

class Call;
class Settings;

// The operator's own desk telephone (or a softphone elsewhere) used as the panel's sound device:
// the panel calls it ("the device call") and bridges the customer calls with that call. This class
// holds the decisions: when the device is called, which waiting caller its pick-up answers, and
// what becomes of the other calls when a linked call ends. The main window places and hangs up.
class ExternalDevice final
{
public:
    explicit ExternalDevice(const Settings &settings);

    enum class Trigger
    {
        Ring, // a customer call rings or is dialled
        Answered // the operator answers, or a dialled call is answered by the far end
    };

    // The device is in use and is called on this trigger.
    bool placesOn(Trigger trigger) const;
    bool enabled() const;
    // The number dialled for the device.
    QString number() const;
    // The device call gets a label in the call area.
    bool showsLabel() const;

    // The waiting caller that the device's pick-up answers: of the calls linked to the device
    // call, the one that started first, when it is an unanswered incoming call and either the only
    // link or the option to answer the first of many is on. Null otherwise.
    static Call *pickUpTarget(const Call &device, bool answerFirstIfMany);
    Call *pickUpTarget(const Call &device) const;

    enum class PartnerFate
    {
        Stays, // still linked elsewhere, or a waiting caller of an unlinked call: nothing to do
        HangUp, // an answered or dialled call left without links
        Relink, // a waiting caller whose device call rang for a while: call the device again
        Drop // a waiting caller whose device call failed at once: hang up and tell the operator
    };
    // What becomes of `partner` when a call linked to it ended after `endedSeconds` (the link to
    // the ended call already removed from `partner`).
    static PartnerFate partnerFate(const Call &partner, qint64 endedSeconds);

private:
    const Settings &m_settings;
};
