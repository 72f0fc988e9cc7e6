// SipDialer: calls joined to each other: two calls mixed with our audio (the library's local
// conference), two parties connected directly before we leave (REFER with Replaces), and the
// attended transfer, which is the same REFER.

#include <array>
#include <utility>

#include <QDateTime>
#include <QTimer>

#include "core/log.h"
#include "engine/linphoneutil.h"
#include "engine/sipdialer_p.h"

namespace {

using lp::addressText;
using lp::fromLibrary;
using lp::hasMedia;

// How long a join waits for the referred party's new call before both calls are hung up anyway.
constexpr qint64 JoinWaitMs = 8000;
constexpr int JoinPollMs = 50;

// A re-INVITE of ours or of the far end is under way.
bool isChanging(LinphoneCallState state)
{
    return state == LinphoneCallStatePausing || state == LinphoneCallStateResuming
        || state == LinphoneCallStateUpdating || state == LinphoneCallStateUpdatedByRemote;
}

// The call's media is not settled yet: it is still being set up or a re-INVITE is under way.
bool isSettling(LinphoneCallState state)
{
    return isChanging(state) || state == LinphoneCallStateOutgoingInit
        || state == LinphoneCallStateOutgoingProgress || state == LinphoneCallStateOutgoingRinging
        || state == LinphoneCallStateOutgoingEarlyMedia || state == LinphoneCallStateConnected;
}

bool isOver(LinphoneCallState state)
{
    return state == LinphoneCallStateEnd || state == LinphoneCallStateError
        || state == LinphoneCallStateReleased;
}

} // namespace

void SipDialer::Private::connectCalls(int a, int b)
{
    LOG(QStringLiteral("Connecting calls ") + QString::number(a) + QLatin1Char(' ') + QString::number(b));
    LinphoneCall *first = callById(a);
    LinphoneCall *second = callById(b);
    if (!core || !first || !second || first == second || !hasMedia(linphone_call_get_state(first))
        || !hasMedia(linphone_call_get_state(second)))
        return;
    // Both calls go into the one local conference (created with the first), which mixes every
    // party with the sound device; a held call is resumed by joining it. A call with running
    // streams takes the sound device for the conference as it joins, and the stack frees the
    // device by pausing the core's current call. Were that the other call of the pair, it would
    // join while its pause is under way and come back only if nothing touched it meanwhile: it
    // is often left on hold. So the current call joins first (which makes it no longer current).
    std::array<LinphoneCall *, 2> pair {first, second};
    if (linphone_core_get_current_call(core.get()) == second)
        std::swap(pair[0], pair[1]);
    for (LinphoneCall *call : pair) {
        LinphoneConference *conference = linphone_core_get_conference(core.get());
        if (conference && linphone_call_get_conference(call) == conference)
            continue;
        // The stack's status here is not the usual 0 on success: the call's conference tells.
        linphone_core_add_to_conference(core.get(), call);
        conference = linphone_core_get_conference(core.get());
        if (!conference || linphone_call_get_conference(call) != conference)
            LOG(QStringLiteral("Unable to connect call ") + QString::number(callId(call)));
    }
    if (!linphone_core_is_in_conference(core.get()))
        linphone_core_enter_conference(core.get());
}

void SipDialer::Private::joinCallsAndLeave(int a, int b)
{
    LinphoneCall *first = callById(a);
    LinphoneCall *second = callById(b);
    if (!first || !second || first == second || !hasMedia(linphone_call_get_state(first))
        || !hasMedia(linphone_call_get_state(second))) {
        reportError(QStringLiteral("Error joining call"));
        return;
    }
    LOG(QStringLiteral("Joining calls ") + QString::number(a) + QLatin1Char(' ') + QString::number(b));
    pendingJoins.append({a, b, QDateTime::currentMSecsSinceEpoch(), false, false, {}});
    leavePendingJoins();
}

void SipDialer::Private::transferToAnother(int a, int b)
{
    LinphoneCall *first = callById(a);
    LinphoneCall *second = callById(b);
    if (!first || !second || first == second || isOver(linphone_call_get_state(first))
        || isOver(linphone_call_get_state(second))) {
        reportError(QStringLiteral("Error transfering call"));
        return;
    }
    LOG(QStringLiteral("Transferring call ") + QString::number(a) + QStringLiteral(" to call ")
        + QString::number(b));
    pendingJoins.append({a, b, QDateTime::currentMSecsSinceEpoch(), false, true, {}});
    leavePendingJoins();
}

void SipDialer::Private::transferBlind(int a, const QString &target)
{
    pendingJoins.append({a, -1, QDateTime::currentMSecsSinceEpoch(), false, true, target});
    leavePendingJoins();
}

// A join goes through two waits. The REFER waits until no re-INVITE of call a is under way (the
// stack cannot send it then, and would not say so). Then, since hanging up b before the party
// of a has replaced it would make the replacement fail, both calls are hung up once the party
// of a reports its new call, or when b was replaced, or after a while. An attended transfer
// waits the same way (a BYE right behind the REFER can reach the party of a first, which then
// drops the transfer) but hangs up call a only, and none when the transfer was refused.
void SipDialer::Private::leavePendingJoins()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QList<QPair<int, int>> refused; // reported once the list is no longer walked
    for (auto it = pendingJoins.begin(); it != pendingJoins.end();) {
        LinphoneCall *first = callById(it->a);
        LinphoneCall *second = callById(it->b);
        const bool firstOver = !first || isOver(linphone_call_get_state(first));
        const bool blind = it->b < 0;
        const bool secondOver = !blind && (!second || isOver(linphone_call_get_state(second)));
        if (!it->referred) {
            const QString failure = it->transfer ? QStringLiteral("Error transfering call")
                                                 : QStringLiteral("Error joining call");
            if (firstOver || secondOver) {
                reportError(failure);
                it = pendingJoins.erase(it);
                continue;
            }
            // An attended transfer also waits for the consultation call (b), which the operator
            // may complete as soon as it is answered: its streams start a moment later.
            const bool settling = blind ? isSettling(linphone_call_get_state(first))
                                        : isChanging(linphone_call_get_state(first))
                    || (it->transfer && isSettling(linphone_call_get_state(second)));
            if (settling && now - it->since < JoinWaitMs) {
                ++it;
                continue;
            }
            int status = -1;
            if (blind) {
                const QByteArray target = it->target.toUtf8();
                const auto address = LinphoneHandle<LinphoneAddress>::adopt(
                    linphone_core_interpret_url(core.get(), target.constData()));
                status = address ? linphone_call_transfer_to(first, address.get()) : -1;
            } else {
                status = linphone_call_transfer_to_another(first, second);
            }
            if (status != 0) {
                reportError(failure);
                it = pendingJoins.erase(it);
                continue;
            }
            it->referred = true;
            it->since = now;
            ++it;
            continue;
        }
        const LinphoneCallState transfer
            = first ? linphone_call_get_transfer_state(first) : LinphoneCallStateIdle;
        const bool outcome = transfer == LinphoneCallStateConnected
            || transfer == LinphoneCallStateStreamsRunning || transfer == LinphoneCallStateError
            || transfer == LinphoneCallStateEnd;
        if (!outcome && !secondOver && now - it->since < JoinWaitMs) {
            ++it;
            continue;
        }
        // A refused attended transfer leaves both calls up: the caller is still ours (held), and
        // the panel decides what becomes of the two.
        if (it->transfer && !blind && transfer == LinphoneCallStateError && !firstOver) {
            refused.append({it->a, it->b});
            it = pendingJoins.erase(it);
            continue;
        }
        if (!firstOver)
            linphone_call_terminate(first);
        // The transferred party replaces the consultation call: its far end hangs it up.
        if (!secondOver && !it->transfer)
            linphone_call_terminate(second);
        it = pendingJoins.erase(it);
    }
    if (!pendingJoins.isEmpty() && !joinPollScheduled) {
        joinPollScheduled = true;
        QTimer::singleShot(JoinPollMs, &q, [this] {
            joinPollScheduled = false;
            leavePendingJoins();
        });
    }
    for (const auto &[caller, consultation] : std::as_const(refused)) {
        LOG(QStringLiteral("Transfer of call ") + QString::number(caller) + QStringLiteral(" to call ")
            + QString::number(consultation) + QStringLiteral(" refused"));
        reportError(QStringLiteral("Error transfering call"));
        emit q.onTransferRefused(caller, consultation);
    }
}

// ---- SipDialer: joined calls ----

void SipDialer::joinCallsAndLeave(unsigned a, unsigned b)
{
    d->joinCallsAndLeave(int(a), int(b));
}

void SipDialer::connect_calls(int a, int b)
{
    d->connectCalls(a, b);
}
