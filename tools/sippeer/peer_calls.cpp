// The peer's calls: placing them, following their states with the scripted reactions, and
// declining with a chosen code.
#include <QTimer>

#include <linphone/core.h>

#include "eventline.h"
#include "peer.h"
#include "peertext.h"

namespace {

LinphoneReason reasonForCode(int code)
{
    switch (code) {
    case 403:
        return LinphoneReasonForbidden;
    case 404:
        return LinphoneReasonNotFound;
    case 410:
        return LinphoneReasonGone;
    case 480:
        return LinphoneReasonTemporarilyUnavailable;
    case 486:
        return LinphoneReasonBusy;
    case 488:
        return LinphoneReasonNotAcceptable;
    case 600:
        return LinphoneReasonDoNotDisturb;
    case 603:
        return LinphoneReasonDeclined;
    default:
        return LinphoneReasonUnknown;
    }
}

} // namespace

int Peer::placeCall(const QString &uri)
{
    LinphoneAddress *to = linphone_core_interpret_url(m_core, uri.toUtf8().constData());
    if (!to) {
        error(QStringLiteral("call"), QStringLiteral("bad URI ") + uri);
        return 0;
    }
    LinphoneCallParams *params = linphone_core_create_call_params(m_core, nullptr);
    for (const QString &header : std::as_const(m_options.headers)) {
        const qsizetype colon = header.indexOf(QLatin1Char(':'));
        if (colon > 0)
            linphone_call_params_add_custom_header(params, header.left(colon).trimmed().toUtf8().constData(),
                header.mid(colon + 1).trimmed().toUtf8().constData());
    }
    LinphoneCall *call = linphone_core_invite_address_with_params(m_core, to, params);
    linphone_call_params_unref(params);
    linphone_address_unref(to);
    if (!call) {
        error(QStringLiteral("call"), QStringLiteral("cannot call ") + uri);
        return 0;
    }
    // the entry was created by the OutgoingInit state callback
    const CallEntry *entry = entryFor(call);
    return entry ? entry->id : 0;
}

void Peer::onCallState(LinphoneCall *call, int state, const char *message)
{
    CallEntry *entry = entryFor(call);
    if (!entry) {
        CallEntry fresh;
        fresh.id = m_nextCallId++;
        fresh.call = linphone_call_ref(call);
        entry = &*m_calls.insert(call, fresh);
        m_lastCallId = fresh.id;
    }
    const int id = entry->id;
    const bool incoming = linphone_call_get_dir(call) == LinphoneCallIncoming;
    EventLine line("call");
    line.add("id", id).add(
        "state", stripPrefix(linphone_call_state_to_string(LinphoneCallState(state)), "LinphoneCall"));
    line.add("dir", incoming ? "in" : "out");

    switch (state) {
    case LinphoneCallIncomingReceived: {
        line.add("from", addressText(linphone_call_get_remote_address(call)));
        line.add("to", addressText(linphone_call_get_to_address(call)));
        if (const LinphoneCall *replaced = linphone_call_get_replaced_call(call)) {
            const CallEntry *old = entryFor(const_cast<LinphoneCall *>(replaced));
            line.add("replaces", old ? old->id : 0);
        }
        const LinphoneCallParams *remote = linphone_call_get_remote_params(call);
        QStringList names {QStringLiteral("P-Asserted-Identity"), QStringLiteral("P-Called-Party-ID")};
        names += m_options.printHeaders;
        for (const QString &name : std::as_const(names)) {
            const char *value = remote
                ? linphone_call_params_get_custom_header(remote, name.toUtf8().constData())
                : nullptr;
            if (value) {
                const QByteArray key = "header." + name.toUtf8();
                line.add(key.constData(), value);
            }
        }
        break;
    }
    case LinphoneCallOutgoingInit:
        line.add("to", addressText(linphone_call_get_remote_address(call)));
        break;
    case LinphoneCallEnd:
    case LinphoneCallError:
    case LinphoneCallReleased: {
        const LinphoneErrorInfo *ei = linphone_call_get_error_info(call);
        line.add("code", ei ? linphone_error_info_get_protocol_code(ei) : 0);
        line.add("reason", message);
        break;
    }
    default:
        break;
    }
    line.emitLine();

    switch (state) {
    case LinphoneCallIncomingReceived:
        if (m_options.refuseTransfer && linphone_call_get_replaced_call(call)) {
            later(0, id, [this](LinphoneCall *c) { declineCall(c, 603); });
        } else if (m_options.declineCode > 0) {
            later(m_options.declineAfter, id,
                [this](LinphoneCall *c) { declineCall(c, m_options.declineCode); });
        } else if (m_options.autoAnswer >= 0) {
            later(m_options.autoAnswer, id, [](LinphoneCall *c) {
                if (linphone_call_get_state(c) == LinphoneCallIncomingReceived
                    || linphone_call_get_state(c) == LinphoneCallIncomingEarlyMedia)
                    linphone_call_accept(c);
            });
        }
        break;
    case LinphoneCallStreamsRunning:
        if (!entry->up) {
            entry->up = true;
            callUp(*entry);
        }
        break;
    case LinphoneCallPaused:
        if (m_options.resumeAfter >= 0)
            later(m_options.resumeAfter, id, [](LinphoneCall *c) { linphone_call_resume(c); });
        break;
    case LinphoneCallReleased:
        m_calls.remove(call);
        linphone_call_unref(call);
        break;
    default:
        break;
    }
}

void Peer::callUp(CallEntry &entry)
{
    const int id = entry.id;
    if (!m_options.dtmf.isEmpty()) {
        const QByteArray digits = m_options.dtmf.toUtf8();
        later(m_options.dtmfDelay, id,
            [digits](LinphoneCall *c) { linphone_call_send_dtmfs(c, digits.constData()); });
    }
    if (m_options.holdAfter >= 0)
        later(m_options.holdAfter, id, [](LinphoneCall *c) { linphone_call_pause(c); });
    if (!m_options.transferTo.isEmpty()) {
        later(m_options.transferAfter, id, [this](LinphoneCall *c) {
            LinphoneAddress *to
                = linphone_core_interpret_url(m_core, m_options.transferTo.toUtf8().constData());
            if (!to || linphone_call_transfer_to(c, to) != 0)
                error(QStringLiteral("transfer"), QStringLiteral("transfer failed"));
            if (to)
                linphone_address_unref(to);
        });
    }
    if (m_options.hangupAfter >= 0)
        later(m_options.hangupAfter, id, [](LinphoneCall *c) { linphone_call_terminate(c); });
}

void Peer::declineCall(LinphoneCall *call, int code)
{
    LinphoneErrorInfo *ei = linphone_factory_create_error_info(linphone_factory_get());
    linphone_error_info_set(ei, "SIP", reasonForCode(code), code, nullptr, nullptr);
    linphone_call_decline_with_error_info(call, ei);
    linphone_error_info_unref(ei);
}

void Peer::onDtmf(LinphoneCall *call, int digit)
{
    const CallEntry *entry = entryFor(call);
    EventLine("dtmf").add("id", entry ? entry->id : 0).add("digit", QString(QChar(digit))).emitLine();
}

void Peer::onTransferState(LinphoneCall *call, int state)
{
    const CallEntry *entry = entryFor(call);
    EventLine("transfer")
        .add("id", entry ? entry->id : 0)
        .add("state", stripPrefix(linphone_call_state_to_string(LinphoneCallState(state)), "LinphoneCall"))
        .emitLine();
}

LinphoneCall *Peer::findCall(int id) const
{
    if (id == 0)
        id = m_lastCallId;
    for (auto it = m_calls.cbegin(); it != m_calls.cend(); ++it) {
        if (it->id == id)
            return it.key();
    }
    return nullptr;
}

Peer::CallEntry *Peer::entryFor(LinphoneCall *call)
{
    auto it = m_calls.find(call);
    return it == m_calls.end() ? nullptr : &*it;
}

void Peer::later(int ms, int callId, const std::function<void(LinphoneCall *)> &fn)
{
    QTimer::singleShot(qMax(0, ms), this, [this, callId, fn] {
        if (LinphoneCall *call = findCall(callId))
            fn(call);
    });
}
