#pragma once

#include <optional>
#include <utility>

// The attended transfer of one extension: the caller held while the operator consults the target,
// and the consultation call placed for it. The two are linked to each other while the transfer
// runs, both ways in one place (the consultation call is not one of the extension's calls: it has
// no label and no call record, so it must never outlive the transfer unseen). The flow decides
// what each step means; the main window carries it out with the engine.
//
// Idle -> Consulting (consultation placed, caller held) -> Confirmed (target answered)
//      -> Referring (completed: the caller is referred to the target)
//      -> Idle: the caller's call ended (transferred), or the transfer was refused.
// Consulting and Confirmed also end by a cancel or by the consultation ending by itself.
// The caller hanging up before the transfer is completed leaves CallerGone: only a cancel (hanging
// up the consultation) ends that.
class TransferFlow final
{
public:
    enum class Stage
    {
        Idle,
        Consulting,
        Confirmed,
        Referring,
        CallerGone
    };

    // What a call's end means to the transfer.
    enum class Ending
    {
        Unrelated,
        // The target hung up or refused: cancel (which now only releases the caller) and close
        // the window.
        ConsultationEnded,
        // The caller left: the consultation stays until the operator cancels.
        CallerEnded,
        // The referred caller's call ended: the transfer is over. The consultation, when it is
        // still up (the target normally ends it once replaced), is to be hung up: see cancel().
        Transferred
    };

    // Calls to act on when a transfer is cancelled; -1 for none.
    struct Release
    {
        int hangUp = -1;
        int unhold = -1;
    };

    Stage stage() const { return m_stage; }

    bool isRunning() const { return m_stage != Stage::Idle; }

    // The held caller and the consultation call, -1 when none.
    int caller() const { return m_caller; }

    int consultation() const { return m_consultation; }

    // The consultation call was placed for the held caller. False (nothing changes) while another
    // transfer runs or for an id below 0.
    bool begin(int callerId, int consultationId);
    // The call is confirmed: true when it is this transfer's consultation, which may be completed
    // from now on.
    bool confirmed(int callId);
    // Completing: the pair (caller, consultation) for the engine, nothing without a caller to
    // transfer. The transfer then waits for its outcome (Referring).
    std::optional<std::pair<int, int>> complete();
    // Cancelling: the consultation to hang up and the caller to release. Ends the transfer.
    Release cancel();
    // The caller refused being referred: the transfer ends as a cancel does (the consultation
    // hung up, the caller released). Nothing to do (-1, -1) for another call or stage.
    Release refused(int callerId);
    Ending ended(int callId);
    // The caller's hold belongs to the transfer until it ends: the operator releases the caller by
    // cancelling, not by selecting or unholding the call.
    bool holdsCaller(int callId) const;

private:
    Stage m_stage = Stage::Idle;
    int m_caller = -1;
    int m_consultation = -1;
};
