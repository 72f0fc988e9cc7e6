// The peer's messages and presence: sending a message, publishing and watching presence, and the
// events that come back.
#include <linphone/core.h>

#include "eventline.h"
#include "peer.h"
#include "peertext.h"

namespace {

QString presenceName(int presence)
{
    switch (presence) {
    case LinphoneConsolidatedPresenceOnline:
        return QStringLiteral("online");
    case LinphoneConsolidatedPresenceBusy:
        return QStringLiteral("busy");
    case LinphoneConsolidatedPresenceDoNotDisturb:
        return QStringLiteral("dnd");
    default:
        return QStringLiteral("offline");
    }
}

void cbMessageState(LinphoneChatMessage *message, LinphoneChatMessageState state)
{
    EventLine("message-state")
        .add("to", addressText(linphone_chat_message_get_to_address(message)))
        .add("state", stripPrefix(linphone_chat_message_state_to_string(state), "LinphoneChatMessageState"))
        .emitLine();
}

} // namespace

void Peer::sendMessage(const QString &uri, const QString &text)
{
    LinphoneAddress *to = linphone_core_interpret_url(m_core, uri.toUtf8().constData());
    if (!to) {
        error(QStringLiteral("message"), QStringLiteral("bad URI ") + uri);
        return;
    }
    LinphoneChatRoomParams *params = linphone_core_create_default_chat_room_params(m_core);
    linphone_chat_room_params_set_backend(params, LinphoneChatRoomBackendBasic);
    linphone_chat_room_params_enable_group(params, FALSE);
    linphone_chat_room_params_enable_encryption(params, FALSE);
    bctbx_list_t *participants = bctbx_list_append(nullptr, to);
    const LinphoneAddress *local = m_account
        ? linphone_account_params_get_identity_address(linphone_account_get_params(m_account))
        : nullptr;
    LinphoneChatRoom *room = linphone_core_create_chat_room_6(m_core, params, local, participants);
    bctbx_list_free(participants);
    linphone_chat_room_params_unref(params);
    linphone_address_unref(to);
    if (!room) {
        error(QStringLiteral("message"), QStringLiteral("cannot create a chat room for ") + uri);
        return;
    }
    LinphoneChatMessage *message
        = linphone_chat_room_create_message_from_utf8(room, text.toUtf8().constData());
    LinphoneChatMessageCbs *cbs = linphone_factory_create_chat_message_cbs(linphone_factory_get());
    linphone_chat_message_cbs_set_msg_state_changed(cbs, cbMessageState);
    linphone_chat_message_add_callbacks(message, cbs);
    linphone_chat_message_cbs_unref(cbs);
    linphone_chat_message_send(message);
    m_sent.append(message);
    linphone_chat_room_unref(room);
}

void Peer::publishPresence(const QString &status, const QString &note)
{
    LinphoneConsolidatedPresence presence = LinphoneConsolidatedPresenceOffline;
    if (status == QLatin1String("online"))
        presence = LinphoneConsolidatedPresenceOnline;
    else if (status == QLatin1String("busy"))
        presence = LinphoneConsolidatedPresenceBusy;
    else if (status != QLatin1String("offline")) {
        error(QStringLiteral("presence"), QStringLiteral("unknown status ") + status);
        return;
    }
    if (m_account && !linphone_account_params_publish_enabled(linphone_account_get_params(m_account))) {
        LinphoneAccountParams *params = linphone_account_params_clone(linphone_account_get_params(m_account));
        linphone_account_params_set_publish_enabled(params, TRUE);
        linphone_account_set_params(m_account, params);
        linphone_account_params_unref(params);
    }
    if (note.isEmpty()) {
        linphone_core_set_consolidated_presence(m_core, presence);
        return;
    }
    // The same states with a note: open (busy as an activity) or closed.
    LinphonePresenceModel *model = presence == LinphoneConsolidatedPresenceBusy
        ? linphone_presence_model_new_with_activity(LinphonePresenceActivityBusy, nullptr)
        : linphone_presence_model_new();
    linphone_presence_model_set_basic_status(model,
        presence == LinphoneConsolidatedPresenceOffline ? LinphonePresenceBasicStatusClosed
                                                        : LinphonePresenceBasicStatusOpen);
    linphone_presence_model_add_note(model, note.toUtf8().constData(), nullptr);
    linphone_core_set_presence_model(m_core, model);
    linphone_presence_model_unref(model);
}

void Peer::subscribe(const QString &uri)
{
    LinphoneFriend *lf = linphone_core_create_friend_with_address(m_core, uri.toUtf8().constData());
    if (!lf) {
        error(QStringLiteral("subscribe"), QStringLiteral("bad URI ") + uri);
        return;
    }
    linphone_friend_enable_subscribes(lf, TRUE);
    linphone_friend_set_inc_subscribe_policy(lf, LinphoneSPAccept);
    linphone_friend_list_add_friend(linphone_core_get_default_friend_list(m_core), lf);
    linphone_friend_unref(lf);
}

void Peer::onMessage(const char *from, const char *to, const char *body)
{
    EventLine("message").add("from", from).add("to", to).add("body", body).emitLine();
}

void Peer::onNotify(const char *event, const char *from, const QString &body)
{
    EventLine("notify").add("event", event).add("from", from).add("body", body).emitLine();
}

void Peer::onPresence(const char *from, int presence)
{
    EventLine("presence").add("from", from).add("status", presenceName(presence)).emitLine();
}
