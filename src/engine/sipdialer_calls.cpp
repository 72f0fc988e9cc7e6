// SipDialer: incoming calls, call states, media changes and the call requests.

#include <algorithm>
#include <limits>
#include <optional>

#include <QMetaObject>

#include "core/log.h"
#include "engine/callrecorder.h"
#include "engine/inviteheaders.h"
#include "engine/linphoneutil.h"
#include "engine/sipdialer_p.h"

namespace {

using lp::addressText;
using lp::fromLibrary;
using lp::hasMedia;

using namespace CallState;

const char *const inviteStateNames[]
    = {"NULL", "CALLING", "INCOMING", "EARLY", "CONNECTING", "CONFIRMED", "DISCONNCTD"};

QString stateText(int state)
{
    switch (state) {
    case Null:
        return QStringLiteral("Dialing..");
    case Calling:
        return QStringLiteral("Dialing");
    case Incoming:
        return QStringLiteral("Incoming call");
    case Early:
        return QStringLiteral("Connecting..");
    case Connecting:
        return QStringLiteral("Connecting....");
    case Confirmed:
        return QStringLiteral("Dial confirmed");
    default:
        return QString();
    }
}

int inviteState(LinphoneCallState state, bool confirmed)
{
    switch (state) {
    case LinphoneCallStateIdle:
        return Null;
    case LinphoneCallStateOutgoingInit:
    case LinphoneCallStateOutgoingProgress:
        return Calling;
    case LinphoneCallStateIncomingReceived:
    case LinphoneCallStatePushIncomingReceived:
        return Incoming;
    case LinphoneCallStateOutgoingRinging:
    case LinphoneCallStateOutgoingEarlyMedia:
    case LinphoneCallStateIncomingEarlyMedia:
    case LinphoneCallStateEarlyUpdatedByRemote:
    case LinphoneCallStateEarlyUpdating:
        return Early;
    case LinphoneCallStateConnected:
        return Connecting;
    case LinphoneCallStateEnd:
    case LinphoneCallStateError:
    case LinphoneCallStateReleased:
        return Disconnected;
    default:
        return confirmed ? Confirmed : Connecting;
    }
}

int mediaStatus(LinphoneCallState state)
{
    switch (state) {
    case LinphoneCallStateStreamsRunning:
    case LinphoneCallStateUpdating:
    case LinphoneCallStateUpdatedByRemote:
        return MediaStatus::Active;
    case LinphoneCallStatePausing:
        return MediaStatus::Active; // held only once the far end has agreed
    case LinphoneCallStatePaused:
        return MediaStatus::LocalHold;
    case LinphoneCallStatePausedByRemote:
        return MediaStatus::RemoteHold;
    case LinphoneCallStateError:
        return MediaStatus::Error;
    default:
        return MediaStatus::None;
    }
}

QString statusPhrase(int code)
{
    switch (code) {
    case 100:
        return QStringLiteral("Trying");
    case 180:
        return QStringLiteral("Ringing");
    case 183:
        return QStringLiteral("Session Progress");
    case 200:
        return QStringLiteral("OK");
    case 408:
        return QStringLiteral("Request Timeout");
    case 480:
        return QStringLiteral("Temporarily Unavailable");
    case 486:
        return QStringLiteral("Busy Here");
    case 487:
        return QStringLiteral("Request Terminated");
    case 600:
        return QStringLiteral("Busy Everywhere");
    case 603:
        return QStringLiteral("Decline");
    default:
        return QString();
    }
}

LinphoneReason reasonFor(int code)
{
    switch (code) {
    case 480:
        return LinphoneReasonTemporarilyUnavailable;
    case 486:
        return LinphoneReasonBusy;
    case 600:
        return LinphoneReasonDoNotDisturb;
    case 603:
        return LinphoneReasonDeclined;
    case 404:
        return LinphoneReasonNotFound;
    case 488:
        return LinphoneReasonNotAcceptable;
    default:
        return LinphoneReasonUnknown;
    }
}

// The SIP status a call ended with. The stack gives a code when one was received or sent with
// a reason phrase; a decline it chose itself (hang-up of a ringing call: Declined) carries only
// its reason. A call that ends unanswered without either was cancelled: by the caller before we
// answered, or by us while it rang (the far end answers our CANCEL with 487).
int endStatus(LinphoneCall *call, bool answered, int lastStatus)
{
    const LinphoneErrorInfo *error = linphone_call_get_error_info(call);
    const int code = error ? linphone_error_info_get_protocol_code(error) : 0;
    if (code > 0)
        return code;
    const LinphoneReason reason = error ? linphone_error_info_get_reason(error) : LinphoneReasonNone;
    if (!answered && (reason == LinphoneReasonNone || reason == LinphoneReasonNotAnswered))
        return 487;
    if (reason != LinphoneReasonNone && reason != LinphoneReasonNotAnswered)
        return linphone_reason_to_error_code(reason);
    return lastStatus;
}

bool isRinging(LinphoneCallState state)
{
    return state == LinphoneCallStateIncomingReceived || state == LinphoneCallStateIncomingEarlyMedia
        || state == LinphoneCallStatePushIncomingReceived;
}

} // namespace

// Gives the call a new id (never one handed out before) and keeps a reference on it until the
// stack releases it.
int SipDialer::Private::mapCall(LinphoneCall *call)
{
    const int id = nextCallId;
    nextCallId = nextCallId == std::numeric_limits<int>::max() ? 0 : nextCallId + 1;
    calls[id].call = LinphoneHandle<LinphoneCall>::retain(call);
    return id;
}

int SipDialer::Private::callId(const LinphoneCall *call) const
{
    for (const auto &[id, entry] : calls) {
        if (entry.call.get() == call)
            return id;
    }
    return -1;
}

LinphoneCall *SipDialer::Private::callById(int id) const
{
    const auto it = calls.find(id);
    return it == calls.end() ? nullptr : it->second.call.get();
}

int SipDialer::Private::activeCallCount() const
{
    int count = 0;
    for (const auto &[id, entry] : calls) {
        if (!entry.ended)
            ++count;
    }
    return count;
}

// The account of the To user when the engine knows it, else the library's default account.
int SipDialer::Private::accountForCall(LinphoneCall *call) const
{
    const int id = callId(call);
    if (const auto placed = outgoingAccount.find(id); id >= 0 && placed != outgoingAccount.end())
        return placed->second;
    const LinphoneAddress *to = linphone_call_get_to_address(call);
    const QString user = to ? fromLibrary(linphone_address_get_username(to)) : QString();
    if (linphone_call_get_dir(call) == LinphoneCallIncoming && userToAccount.contains(user))
        return userToAccount.value(user);
    return accountId(linphone_core_get_default_account(core.get()));
}

orvalo_call_info SipDialer::Private::callInfo(int id, LinphoneCall *call) const
{
    orvalo_call_info info;
    const auto it = calls.find(id);
    if (!call || it == calls.end())
        return info;
    const LinphoneCallState state = linphone_call_get_state(call);
    const LinphoneCallLog *log = linphone_call_get_call_log(call);
    info.acc_id = accountForCall(call);
    info.call_id = id;
    info.last_status = it->second.lastStatus;
    info.state = it->second.ended ? int(Disconnected) : inviteState(state, it->second.confirmed);
    info.remote_info = addressText(linphone_call_get_remote_address(call));
    info.local_info = addressText(log ? linphone_call_log_get_local_address(log) : nullptr);
    info.media_status = mediaStatus(state);
    if (const LinphoneCallParams *params = linphone_call_get_current_params(call))
        info.media_dir = qMax(0, int(linphone_call_params_get_audio_direction(params)));
    return info;
}

void SipDialer::Private::incomingCall(LinphoneCall *call)
{
    // Beyond the engine's limit: 480 and nothing else; the call is never mapped.
    if (activeCallCount() >= maxCalls) {
        LOG(QStringLiteral("Call limit reached: 480 Temporarily Unavailable"));
        auto error = LinphoneHandle<LinphoneErrorInfo>::adopt(
            linphone_factory_create_error_info(linphone_factory_get()));
        linphone_error_info_set(error.get(), "SIP", LinphoneReasonTemporarilyUnavailable, 480,
            "Temporarily Unavailable", nullptr);
        linphone_call_decline_with_error_info(call, error.get());
        return;
    }

    const int id = mapCall(call);

    const LinphoneAddress *to = linphone_call_get_to_address(call);
    LOG(QStringLiteral("acc find, user ")
        + (to ? fromLibrary(linphone_address_get_username(to)) : QString()));
    orvalo_call_info info;
    info.acc_id = accountForCall(call);
    info.call_id = id;
    const LinphoneAddress *remote = linphone_call_get_remote_address(call);
    info.remote_info = addressText(remote);
    const LinphoneCallLog *log = linphone_call_get_call_log(call);
    info.local_info = addressText(log ? linphone_call_log_get_local_address(log) : nullptr);
    info.remote_host = remote ? fromLibrary(linphone_address_get_domain(remote)) : QString();

    // The INVITE as received, header by header (leading blanks of the values kept).
    const QString callIdHeader = log ? fromLibrary(linphone_call_log_get_call_id(log)) : QString();
    QString invite;
    for (auto it = recentInvites.crbegin(); it != recentInvites.crend(); ++it) {
        if (it->first == callIdHeader) {
            invite = it->second;
            break;
        }
    }
    std::optional<InviteHeaders> headers;
    if (!invite.isEmpty()) {
        headers = InviteHeaders::scan(invite);
        info.asserted_identity = headers->assertedIdentity();
        info.called_party_id = headers->calledPartyId();
    } else {
        // Without the message text the library still has the two values (trimmed).
        const LinphoneCallParams *params = linphone_call_get_remote_params(call);
        const char *asserted
            = params ? linphone_call_params_get_custom_header(params, "P-Asserted-Identity") : nullptr;
        const char *called
            = params ? linphone_call_params_get_custom_header(params, "P-Called-Party-ID") : nullptr;
        if (asserted)
            info.asserted_identity = QLatin1Char(' ') + fromLibrary(asserted);
        if (called)
            info.called_party_id = QLatin1Char(' ') + fromLibrary(called);
    }

    // The 180 first: the caller need not wait for the header lines of the log, nor for the tone,
    // which opens the ringer device.
    if (!dnd)
        linphone_call_notify_ringing(call);
    if (headers) {
        const QString dashes(64, QLatin1Char('-'));
        LOG(dashes);
        for (const auto &[name, value] : headers->lines())
            LOG(name + QStringLiteral(" - ") + value);
        LOG(dashes);
    }
    if (!dnd) {
        ringStart();
        calls[id].lastStatus = 180;
    }
    emit q.onIncomingCall(info);

    // The call may have been answered or refused by a slot of onIncomingCall.
    if (callById(id) == call && !calls[id].ended && isRinging(linphone_call_get_state(call))) {
        orvalo_call_info state = callInfo(id, call);
        state.state = Incoming;
        state.state_text = stateText(Incoming);
        emit q.onCallstateChanged(state);
    }
}

void SipDialer::Private::callStateChanged(LinphoneCall *call, LinphoneCallState state, const char *message)
{
    if (state == LinphoneCallStateIncomingReceived) {
        incomingCall(call);
        return;
    }
    // The panel writes the call's record; the stack's own log of it would stay in memory.
    if (state == LinphoneCallStateReleased)
        linphone_core_clear_call_logs(core.get());
    int id = callId(call);
    if (id < 0 && placingCall && state == LinphoneCallStateOutgoingInit) {
        // Reported from inside makeCall(): mapped now, so that its first states reach the panel.
        id = mapCall(call);
        outgoingAccount[id] = placingAccount;
    }
    if (id < 0)
        return; // refused beyond the limit, or already forgotten
    CallEntry &entry = calls[id];
    if (state == LinphoneCallStateReleased) {
        calls.erase(id);
        outgoingAccount.erase(id);
        return;
    }
    if (entry.ended)
        return;

    switch (state) {
    case LinphoneCallStateOutgoingRinging:
        entry.lastStatus = 180;
        break;
    case LinphoneCallStateOutgoingEarlyMedia:
    case LinphoneCallStateIncomingEarlyMedia:
        entry.lastStatus = 183;
        break;
    case LinphoneCallStateConnected:
        entry.lastStatus = 200;
        break;
    case LinphoneCallStateEnd:
    case LinphoneCallStateError:
        entry.lastStatus = endStatus(call, entry.confirmed || entry.lastStatus == 200, entry.lastStatus);
        break;
    default:
        break;
    }

    if (state == LinphoneCallStatePaused && entry.resumeWhenHeld) {
        entry.resumeWhenHeld = false;
        QMetaObject::invokeMethod(
            &q,
            [this, id] {
                LinphoneCall *held = callById(id);
                if (held && linphone_call_get_state(held) == LinphoneCallStatePaused
                    && linphone_call_resume(held) != 0)
                    reportError(QStringLiteral("Failed to unhold the call"));
                iterateSoon();
            },
            Qt::QueuedConnection);
    }
    const bool firstStreams = state == LinphoneCallStateStreamsRunning && !entry.confirmed;
    const bool stateChange = state == LinphoneCallStateOutgoingProgress
        || state == LinphoneCallStateOutgoingRinging || state == LinphoneCallStateOutgoingEarlyMedia
        || state == LinphoneCallStateIncomingEarlyMedia || state == LinphoneCallStateConnected || firstStreams
        || state == LinphoneCallStateEnd || state == LinphoneCallStateError;
    const bool mediaChange = state == LinphoneCallStateStreamsRunning || state == LinphoneCallStatePaused
        || state == LinphoneCallStatePausedByRemote;

    if (stateChange) {
        if (firstStreams)
            entry.confirmed = true;
        const bool ended = state == LinphoneCallStateEnd || state == LinphoneCallStateError;
        orvalo_call_info info = callInfo(id, call);
        info.state = ended ? int(Disconnected)
                           : (firstStreams ? int(Confirmed) : inviteState(state, entry.confirmed));
        info.media_status = MediaStatus::None;
        info.media_dir = 0;
        const QString lastText = statusPhrase(info.last_status);
        LOG(QString::number(info.acc_id) + QStringLiteral(": remote_info: ") + info.remote_info
            + QStringLiteral(" remote_contact: ") + fromLibrary(linphone_call_get_remote_contact(call)));
        LOG(QStringLiteral("call: ") + QString::number(id) + QStringLiteral(" state: ")
            + QLatin1String(inviteStateNames[info.state]) + QStringLiteral(" (") + QString::number(info.state)
            + QStringLiteral(")") + QStringLiteral(" last_state:") + QString::number(info.last_status)
            + QLatin1Char(' ') + lastText + QStringLiteral(" [") + fromLibrary(message) + QLatin1Char(']'));
        if (ended) {
            entry.ended = true;
            ringStop();
            // Mute silences the microphone for every call; once every call has ended the next
            // one starts with the microphone on, as the window's Mute button then says.
            const bool allEnded
                = std::all_of(calls.cbegin(), calls.cend(), [](const auto &c) { return c.second.ended; });
            if (allEnded && !linphone_core_mic_enabled(core.get())) {
                linphone_core_enable_mic(core.get(), TRUE);
                CallRecorder::microphoneMuted(&q, false);
                LOG(QStringLiteral("Microphone level 2.0"));
            }
            // Queued: the panel hears of the end after the library has finished with the call.
            QMetaObject::invokeMethod(
                &q, [owner = &q, info] { emit owner->onCallTerminated(info); }, Qt::QueuedConnection);
            return;
        }
        if (info.state == Confirmed)
            ringStop();
        info.state_text = stateText(info.state);
        emit q.onCallstateChanged(info);
    }
    if (mediaChange)
        emit q.onCallmediaChanged(id);
}

void SipDialer::Private::answer(int id)
{
    if (LinphoneCall *call = callById(id)) {
        LOG(QStringLiteral("Answering ") + QString::number(id));
        withSharedMedia([call] { return linphone_call_accept(call); });
    }
}

void SipDialer::Private::reject(int id, int code)
{
    LinphoneCall *call = callById(id);
    if (!call)
        return;
    LOG(QStringLiteral("Rejecting ") + QString::number(id) + QStringLiteral(" with ")
        + QString::number(code));
    if (!isRinging(linphone_call_get_state(call))) {
        linphone_call_terminate(call);
        return;
    }
    auto error = LinphoneHandle<LinphoneErrorInfo>::adopt(
        linphone_factory_create_error_info(linphone_factory_get()));
    const QByteArray phrase = statusPhrase(code).toUtf8();
    linphone_error_info_set(
        error.get(), "SIP", reasonFor(code), code, phrase.isEmpty() ? nullptr : phrase.constData(), nullptr);
    linphone_call_decline_with_error_info(call, error.get());
}

void SipDialer::Private::logStreamStats(int id, LinphoneCall *call)
{
    LinphoneCallStats *stats = linphone_call_get_audio_stats(call);
    const rtp_stats_t *rtp = stats ? linphone_call_stats_get_rtp_stats(stats) : nullptr;
    if (!rtp) {
        LOG(QStringLiteral("Unable to get call stream stats ") + QString::number(id));
        if (stats)
            linphone_call_stats_unref(stats);
        return;
    }
    const auto line = [](const QString &prefix, quint64 packets, qint64 lost, double jitterMs) -> QString {
        const double loss = packets > 0 ? double(lost) * 100.0 / double(packets) : 0.0;
        const QString jitter = QString::number(jitterMs);
        return prefix + QString::number(packets) + QStringLiteral(" loss: ") + QString::number(lost)
            + QStringLiteral(" (") + QString::number(loss) + QStringLiteral(")") + QStringLiteral("Jitter: ")
            + jitter + QStringLiteral(" (") + jitter + QStringLiteral(") ") + jitter;
    };
    // The stack gives jitter in seconds: our own last report's figure describes what we receive,
    // the far end's report what we send.
    LOG(line(QStringLiteral("RX: "), rtp->packet_recv, rtp->cum_packet_loss,
        double(linphone_call_stats_get_sender_interarrival_jitter(stats)) * 1000.0));
    LOG(line(QStringLiteral("TX: "), rtp->packet_sent, 0,
        double(linphone_call_stats_get_receiver_interarrival_jitter(stats)) * 1000.0));
    const QString rtt = QString::number(double(linphone_call_stats_get_round_trip_delay(stats)) * 1000.0);
    LOG(QStringLiteral("RTT: ") + rtt + QStringLiteral(" (") + rtt + QStringLiteral(") ") + rtt);
    linphone_call_stats_unref(stats);
}

void SipDialer::Private::hangup(int id)
{
    if (id < 0)
        return;
    ringStop();
    LOG(QStringLiteral("Hanging up ") + QString::number(id));
    LinphoneCall *call = callById(id);
    if (!call)
        return;
    logStreamStats(id, call);
    linphone_call_terminate(call);
}

// ---- SipDialer: calls ----

int SipDialer::callCount() const
{
    return d->activeCallCount();
}

orvalo_call_info SipDialer::getCallDetails(int call_id) const
{
    return d->callInfo(call_id, d->callById(call_id));
}

CallQuality SipDialer::callQuality(int call_id) const
{
    CallQuality quality;
    LinphoneCall *call = d->callById(call_id);
    if (!call)
        return quality;
    switch (linphone_call_get_state(call)) {
    case LinphoneCallStreamsRunning:
    case LinphoneCallPausing:
    case LinphoneCallPaused:
    case LinphoneCallResuming:
    case LinphoneCallPausedByRemote:
    case LinphoneCallUpdating:
    case LinphoneCallUpdatedByRemote:
        break;
    default:
        return quality; // no stream yet, or it is being torn down
    }
    LinphoneCallStats *stats = linphone_call_get_audio_stats(call);
    if (!stats)
        return quality;
    if (const rtp_stats_t *rtp = linphone_call_stats_get_rtp_stats(stats)) {
        quality.available = true;
        quality.packetsSent = rtp->packet_sent;
        quality.packetsReceived = rtp->packet_recv;
        quality.receivedLost = qMax<qint64>(0, rtp->cum_packet_loss);
        // The stack names the figures after the RTCP reports they come from: "sender" is the
        // report we sent (about what we receive), "receiver" the far end's (about what we send).
        // Jitter comes in seconds.
        quality.receivedLossRate = double(linphone_call_stats_get_sender_loss_rate(stats));
        quality.sentLossRate = double(linphone_call_stats_get_receiver_loss_rate(stats));
        quality.receivedJitterMs = double(linphone_call_stats_get_sender_interarrival_jitter(stats)) * 1000.0;
        quality.sentJitterMs = double(linphone_call_stats_get_receiver_interarrival_jitter(stats)) * 1000.0;
        const float rtt = linphone_call_stats_get_round_trip_delay(stats);
        quality.roundTripMs = rtt > 0 ? double(rtt) * 1000.0 : -1.0;
        quality.rating = double(linphone_call_get_current_quality(call));
    }
    linphone_call_stats_unref(stats);
    return quality;
}

void SipDialer::play_dtmf_tone(DTMFType type, int call_id, const QString &digit)
{
    d->playDtmf(type, call_id, digit);
}

void SipDialer::onAnswerButtonSlot(const sip_call_msg &msg)
{
    d->iterateSoon(); // let the stack send what this request queues
    d->answer(msg.call_id);
}

void SipDialer::onRejectButtonSlot(const sip_call_msg &msg)
{
    d->iterateSoon(); // let the stack send what this request queues
    bool ok = false;
    const int code = msg.options.value(QStringLiteral("code")).toInt(&ok);
    d->reject(msg.call_id, ok ? code : 486);
}

void SipDialer::onHangupButtonSlot(const sip_call_msg &msg)
{
    d->iterateSoon(); // let the stack send what this request queues
    d->hangup(msg.call_id);
}
