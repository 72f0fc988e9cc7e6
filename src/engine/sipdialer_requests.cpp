// SipDialer: the panel's requests on calls: dial (with the extension's codecs and an optional
// other caller identity), hold and resume, mute, DTMF, blind and attended transfer, bridging.

#include <QRegularExpression>

#include "core/log.h"
#include "engine/callrecorder.h"
#include "engine/linphoneutil.h"
#include "engine/sipdialer_p.h"
#include "engine/streamtap.h"

namespace {

using lp::addressText;
using lp::fromLibrary;
using lp::hasMedia;

// "mime/rate/channels", as the panel names codecs.
bool matches(LinphonePayloadType *pt, const QString &identifier)
{
    const QStringList parts = identifier.split(QLatin1Char('/'));
    if (parts.isEmpty()
        || parts.at(0).compare(fromLibrary(linphone_payload_type_get_mime_type(pt)), Qt::CaseInsensitive)
            != 0)
        return false;
    if (parts.size() > 1 && parts.at(1).toInt() != linphone_payload_type_get_clock_rate(pt))
        return false;
    if (parts.size() > 2 && parts.at(2).toInt() != linphone_payload_type_get_channels(pt))
        return false;
    return true;
}

} // namespace

// Enables exactly the listed codecs, in list order, for the next call. Codecs the stack lacks are
// skipped and logged.
void SipDialer::Private::applyCodecs(const QList<QString> &codecs)
{
    bctbx_list_t *all = linphone_core_get_audio_payload_types(core.get());
    bctbx_list_t *ordered = nullptr;
    QList<LinphonePayloadType *> used;
    for (const QString &codec : codecs) {
        bool found = false;
        for (bctbx_list_t *it = all; it; it = bctbx_list_next(it)) {
            auto *pt = static_cast<LinphonePayloadType *>(bctbx_list_get_data(it));
            if (!used.contains(pt) && matches(pt, codec)) {
                used.append(pt);
                ordered = bctbx_list_append(ordered, pt);
                found = true;
                break;
            }
        }
        if (!found)
            LOG(QStringLiteral("Codec not available: ") + codec);
    }
    for (bctbx_list_t *it = all; it; it = bctbx_list_next(it)) {
        auto *pt = static_cast<LinphonePayloadType *>(bctbx_list_get_data(it));
        const bool enable = used.contains(pt);
        linphone_payload_type_enable(pt, enable ? TRUE : FALSE);
        if (!enable)
            ordered = bctbx_list_append(ordered, pt);
    }
    linphone_core_set_audio_payload_types(core.get(), ordered);
    bctbx_list_free(ordered);
    bctbx_list_free_with_data(all, reinterpret_cast<bctbx_list_free_func>(linphone_payload_type_unref));
}

// A non-registering account that places calls of `base` under another caller identity; kept for
// later calls with the same identity.
LinphoneAccount *SipDialer::Private::identityAccount(LinphoneAccount *base, const QString &identity)
{
    const auto found = identityAccounts.find(identity);
    if (found != identityAccounts.end())
        return found->second.get();
    auto address = LinphoneHandle<LinphoneAddress>::adopt(
        linphone_factory_create_address(linphone_factory_get(), identity.toUtf8().constData()));
    if (!address)
        return nullptr;
    auto params = LinphoneHandle<LinphoneAccountParams>::adopt(
        linphone_account_params_clone(linphone_account_get_params(base)));
    linphone_account_params_set_identity_address(params.get(), address.get());
    linphone_account_params_enable_register(params.get(), FALSE);
    auto account
        = LinphoneHandle<LinphoneAccount>::adopt(linphone_core_create_account(core.get(), params.get()));
    if (!account || linphone_core_add_account(core.get(), account.get()) != 0)
        return nullptr;
    LinphoneAccount *raw = account.get();
    identityAccounts.emplace(identity, std::move(account));
    return raw;
}

int SipDialer::makeCall(const sip_call_msg &msg, const QList<QString> &codecs, const QString &callerIdentity)
{
    d->iterateSoon(); // let the stack send what this request queues
    if (!d->core)
        return -1;
    if (d->activeCallCount() >= d->maxCalls) {
        d->reportError(QStringLiteral("Call limit reached"));
        return -1;
    }
    if (msg.domain.isEmpty()) {
        d->reportError(QStringLiteral("No Domain"));
        return -1;
    }
    if (msg.number.isEmpty()) {
        d->reportError(QStringLiteral("No Phone number"));
        return -1;
    }
    QString uri;
    const LinphoneHandle<LinphoneAddress> address = d->targetAddress(msg, &uri);
    if (!address) {
        d->reportError(QStringLiteral("Invalid URI"));
        return -1;
    }

    d->applyCodecs(codecs);

    const auto entry = d->accounts.find(msg.acc_id);
    LinphoneAccount *account = entry == d->accounts.end() ? nullptr : entry->second.account.get();
    if (account && !callerIdentity.isEmpty()) {
        if (LinphoneAccount *as = d->identityAccount(account, callerIdentity))
            account = as;
        else
            LOG(QStringLiteral("Cannot call out as ") + callerIdentity);
    }
    LinphoneAccount *previousDefault = linphone_core_get_default_account(d->core.get());
    if (account)
        linphone_core_set_default_account(d->core.get(), account);
    auto params
        = LinphoneHandle<LinphoneCallParams>::adopt(linphone_core_create_call_params(d->core.get(), nullptr));
    d->placingCall = true;
    d->placingAccount = msg.acc_id;
    LinphoneCall *call = d->withSharedMedia(
        [&] { return linphone_core_invite_address_with_params(d->core.get(), address.get(), params.get()); });
    d->placingCall = false;
    if (previousDefault)
        linphone_core_set_default_account(d->core.get(), previousDefault);
    if (!call) {
        d->reportError(QStringLiteral("Error making call - the call could not be placed"));
        return -1;
    }
    int id = d->callId(call);
    if (id < 0) {
        id = d->mapCall(call);
        d->outgoingAccount[id] = msg.acc_id;
    }
    LOG(QStringLiteral("Calling ") + uri + QStringLiteral(" as call ") + QString::number(id));
    d->ringbackStart();
    return id;
}

void SipDialer::onHoldToggleButtonSlot(const sip_call_msg &msg)
{
    d->iterateSoon(); // let the stack send what this request queues
    if (msg.call_id < 0)
        return;
    LinphoneCall *call = d->callById(msg.call_id);
    if (!call)
        return;
    const orvalo_call_info info = getCallDetails(msg.call_id);
    LOG(QStringLiteral("Hold toggle: id ") + QString::number(msg.call_id) + QStringLiteral(" state ")
        + QString::number(info.media_status));
    if (info.media_status == MediaStatus::RemoteHold) {
        d->reportError(QStringLiteral("The media is currently put on hold by remote endpoint"));
        return;
    }
    if (linphone_call_get_state(call) == LinphoneCallStatePausing) {
        // A hold still on its way (its re-INVITE unanswered): the stack takes no second request
        // meanwhile, so the call is released once the far end has agreed.
        d->calls[msg.call_id].resumeWhenHeld = true;
        LOG(QStringLiteral("Hold toggle: id ") + QString::number(msg.call_id)
            + QStringLiteral(" is being held, released once held"));
        return;
    }
    if (info.media_status == MediaStatus::LocalHold) {
        if (linphone_call_resume(call) != 0)
            d->reportError(QStringLiteral("Failed to unhold the call"));
        return;
    }
    if (linphone_call_pause(call) != 0)
        d->reportError(QStringLiteral("Error setting call on hold - the call cannot be paused in its state"));
}

void SipDialer::onMuteToggleButtonSlot(const sip_call_msg &)
{
    if (!d->core)
        return;
    const bool enabled = linphone_core_mic_enabled(d->core.get());
    linphone_core_enable_mic(d->core.get(), enabled ? FALSE : TRUE);
    CallRecorder::microphoneMuted(this, enabled);
    LOG(QStringLiteral("Microphone level ") + (enabled ? QStringLiteral("0.0") : QStringLiteral("2.0")));
}

bool SipDialer::isBeingHeld(int call_id) const
{
    LinphoneCall *call = d->callById(call_id);
    return call && linphone_call_get_state(call) == LinphoneCallStatePausing;
}

bool SipDialer::isMuted() const
{
    return d->core && !linphone_core_mic_enabled(d->core.get());
}

// The operator hears the first digit (the stack's feedback tone, which stays out of recordings).
// In-band: that digit is mixed into the audio the call sends, no telephone event goes out. RFC
// 2833: the whole text as telephone events. SIP INFO (and an unknown method): feedback only.
void SipDialer::Private::playDtmf(DTMFType type, int id, const QString &digit)
{
    if (id == -1 || digit.isEmpty() || !core)
        return;
    const char first = digit.at(0).toLatin1();
    linphone_core_play_dtmf(core.get(), first, 100);
    LinphoneCall *call = callById(id);
    if (!call)
        return;
    if (type == DTMF_INBAND) {
        if (!streamtap::sendInband(call, first))
            LOG(QStringLiteral("In-band DTMF: call ") + QString::number(id)
                + QStringLiteral(" sends no audio"));
        return;
    }
    if (type != DTMF_RFC2833)
        return;
    linphone_core_set_use_info_for_dtmf(core.get(), FALSE);
    linphone_core_set_use_rfc2833_for_dtmf(core.get(), TRUE);
    if (digit.size() > 1)
        linphone_call_send_dtmfs(call, digit.toLatin1().constData());
    else
        linphone_call_send_dtmf(call, first);
}

void SipDialer::onTransferButtonSlot(const sip_call_msg &msg)
{
    d->iterateSoon(); // let the stack send what this request queues
    if (msg.call_id < 0)
        return;
    if (msg.domain.isEmpty()) {
        d->reportError(QStringLiteral("No Domain"));
        return;
    }
    if (msg.number.isEmpty()) {
        d->reportError(QStringLiteral("No Phone number"));
        return;
    }
    QString uri;
    const LinphoneHandle<LinphoneAddress> address = d->targetAddress(msg, &uri);
    LinphoneCall *call = d->callById(msg.call_id);
    if (!address) {
        d->reportError(QStringLiteral("Invalid URI"));
        return;
    }
    if (!call) {
        d->reportError(QStringLiteral("Error transfering call"));
        return;
    }
    // Like an attended transfer, the REFER waits until the call's media is settled and the call is
    // hung up once the REFER has an outcome (see leavePendingJoins).
    d->transferBlind(msg.call_id, uri);
}

void SipDialer::warmTransferCall(int call_id, int dest_call_id)
{
    d->iterateSoon(); // let the stack send what this request queues
    // The REFER waits until both calls' media is settled (a REFER sent earlier is dropped by the
    // stack without a word); the held caller is hung up once it went out.
    d->transferToAnother(call_id, dest_call_id);
}
