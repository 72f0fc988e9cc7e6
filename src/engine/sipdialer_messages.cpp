// SipDialer: instant messages (SIP MESSAGE in and out) and presence (buddies we watch, watchers
// of our own presence).

#include <QRegularExpression>

#include "core/log.h"
#include "engine/linphoneutil.h"
#include "engine/sipdialer_p.h"

namespace {

using lp::addressText;
using lp::fromLibrary;
using lp::hasMedia;

SipDialer::Private *privateOf(LinphoneCore *lc)
{
    LinphoneCoreCbs *cbs = linphone_core_get_current_callbacks(lc);
    return cbs ? static_cast<SipDialer::Private *>(linphone_core_cbs_get_user_data(cbs)) : nullptr;
}

// An address as a From or To header shows it: "<sip:user@host>", with the display name in
// front when there is one.
QString headerAddress(const LinphoneAddress *address)
{
    if (!address)
        return QString();
    char *uri = linphone_address_as_string_uri_only(address);
    QString text = QLatin1Char('<') + fromLibrary(uri) + QLatin1Char('>');
    bctbx_free(uri);
    const QString name = fromLibrary(linphone_address_get_display_name(address));
    if (!name.isEmpty())
        text = QLatin1Char('"') + name + QStringLiteral("\" ") + text;
    return text;
}

// The name and address of a From or To header value, without the header's parameters (tag).
QString headerValueAddress(const QString &value)
{
    const qsizetype close = value.indexOf(QLatin1Char('>'));
    if (close >= 0)
        return value.left(close + 1);
    return QLatin1Char('<') + value.section(QLatin1Char(';'), 0, 0).trimmed() + QLatin1Char('>');
}

// The address part of a Contact header value, without the header's parameters.
QString contactAddress(const QString &value)
{
    const QString trimmed = value.trimmed();
    const qsizetype close = trimmed.indexOf(QLatin1Char('>'));
    return close >= 0 ? trimmed.left(close + 1) : trimmed.section(QLatin1Char(';'), 0, 0);
}

// Presence status numbers of the panel: 0 unknown, 1 online, 2 offline.
enum BuddyStatus : unsigned
{
    BuddyUnknown = 0,
    BuddyOnline = 1,
    BuddyOffline = 2
};

// The library sums up a presence as online, busy (away, on the phone...), do not disturb or
// offline.
QString consolidatedText(LinphoneConsolidatedPresence presence)
{
    switch (presence) {
    case LinphoneConsolidatedPresenceOnline:
        return QStringLiteral("Online");
    case LinphoneConsolidatedPresenceBusy:
        return QStringLiteral("Busy");
    case LinphoneConsolidatedPresenceDoNotDisturb:
        return QStringLiteral("Do not disturb");
    case LinphoneConsolidatedPresenceOffline:
        return QStringLiteral("Offline");
    }
    return QString();
}

} // namespace

void cb_message_received(LinphoneCore *lc, LinphoneChatRoom *, LinphoneChatMessage *message)
{
    if (SipDialer::Private *d = privateOf(lc))
        d->messageReceived(message);
}

void cb_notify_presence_received(LinphoneCore *lc, LinphoneFriend *buddy)
{
    if (SipDialer::Private *d = privateOf(lc))
        d->presenceReceived(buddy);
}

void cb_new_subscription_requested(LinphoneCore *lc, LinphoneFriend *watcher, const char *url)
{
    if (SipDialer::Private *d = privateOf(lc))
        d->subscriptionRequested(watcher, url);
}

void SipDialer::Private::installMessagingCallbacks(LinphoneCoreCbs *cbs)
{
    linphone_core_cbs_set_message_received(cbs, cb_message_received);
    linphone_core_cbs_set_notify_presence_received(cbs, cb_notify_presence_received);
    linphone_core_cbs_set_new_subscription_requested(cbs, cb_new_subscription_requested);
}

// Before the core stops: our buddies leave the friend list, so that the library neither keeps
// watching them nor brings them back at the next start.
void SipDialer::Private::stopMessaging()
{
    pendingJoins.clear();
    if (core) {
        LinphoneFriendList *list = linphone_core_get_default_friend_list(core.get());
        for (const auto &[id, buddy] : buddies) {
            if (list && buddy)
                linphone_friend_list_remove_friend(list, buddy.get());
        }
    }
    buddies.clear();
    removedBuddies.clear();
}

// The target of a dialled number, a transfer or a message: dashes removed from the number, then
// "sip:" + number + "@" + domain. Null when that is not a valid SIP URI.
LinphoneHandle<LinphoneAddress> SipDialer::Private::targetAddress(const sip_call_msg &msg, QString *uri)
{
    QString number = msg.number;
    number.remove(QLatin1Char('-'));
    *uri = QStringLiteral("sip:") + number + QLatin1Char('@') + msg.domain;
    static const QRegularExpression forbidden(QStringLiteral("[\\s<>\"]"));
    if (number.contains(forbidden) || number.contains(QLatin1Char('@')) || msg.domain.contains(forbidden))
        return {};
    return LinphoneHandle<LinphoneAddress>::adopt(
        linphone_factory_create_address(linphone_factory_get(), uri->toUtf8().constData()));
}

void SipDialer::Private::sendMessage(const sip_call_msg &target, const QString &text)
{
    if (target.domain.isEmpty()) {
        reportError(QStringLiteral("No Domain"));
        return;
    }
    if (target.number.isEmpty()) {
        reportError(QStringLiteral("No Phone number"));
        return;
    }
    QString uri;
    const LinphoneHandle<LinphoneAddress> to = targetAddress(target, &uri);
    if (!to) {
        reportError(QStringLiteral("Invalid URI"));
        return;
    }
    const auto entry = accounts.find(target.acc_id);
    if (!core || entry == accounts.end()) {
        LOG(QStringLiteral("Unable to send message to ") + uri + QStringLiteral(" from account ")
            + QString::number(target.acc_id));
        return;
    }
    const LinphoneAddress *local = linphone_account_params_get_identity_address(
        linphone_account_get_params(entry->second.account.get()));

    // A plain SIP MESSAGE: the basic chat room of this account and peer, without encryption.
    auto params = LinphoneHandle<LinphoneChatRoomParams>::adopt(
        linphone_core_create_default_chat_room_params(core.get()));
    linphone_chat_room_params_set_backend(params.get(), LinphoneChatRoomBackendBasic);
    linphone_chat_room_params_enable_group(params.get(), FALSE);
    linphone_chat_room_params_enable_encryption(params.get(), FALSE);
    bctbx_list_t *participants = bctbx_list_append(nullptr, to.get());
    auto room = LinphoneHandle<LinphoneChatRoom>::retain(
        linphone_core_search_chat_room(core.get(), params.get(), local, to.get(), nullptr));
    if (!room)
        room = LinphoneHandle<LinphoneChatRoom>::adopt(
            linphone_core_create_chat_room_6(core.get(), params.get(), local, participants));
    bctbx_list_free(participants);
    if (!room) {
        LOG(QStringLiteral("Unable to send message to ") + uri);
        return;
    }
    const QByteArray body = text.toUtf8();
    auto message = LinphoneHandle<LinphoneChatMessage>::adopt(
        linphone_chat_room_create_message_from_utf8(room.get(), body.constData()));
    if (!message) {
        LOG(QStringLiteral("Unable to send message to ") + uri);
        return;
    }
    LOG(QStringLiteral("Sending message to ") + uri + QStringLiteral(" from account ")
        + QString::number(target.acc_id));
    linphone_chat_message_send(message.get());
}

// The stack logs every SIP message it receives: keep From and To of the MESSAGEs.
void SipDialer::Private::rememberMessage(const QString &text)
{
    static const QRegularExpression start(QStringLiteral("(^|\\n)MESSAGE sip"));
    const QRegularExpressionMatch begin = start.match(text);
    if (!begin.hasMatch() || !text.contains(QLatin1String("received"), Qt::CaseInsensitive))
        return;
    QString head = text.mid(begin.capturedStart() + begin.captured(1).size());
    if (const qsizetype end = head.indexOf(QLatin1String("\r\n\r\n")); end >= 0)
        head.truncate(end);
    ReceivedMessage entry;
    const QStringList lines = head.split(QLatin1String("\r\n"));
    for (const QString &line : lines) {
        const QString name = line.section(QLatin1Char(':'), 0, 0).trimmed().toLower();
        const QString value = line.section(QLatin1Char(':'), 1).trimmed();
        if (name == QLatin1String("call-id") || name == QLatin1String("i"))
            entry.callId = value;
        else if (name == QLatin1String("from") || name == QLatin1String("f"))
            entry.from = headerValueAddress(value);
        else if (name == QLatin1String("to") || name == QLatin1String("t"))
            entry.to = headerValueAddress(value);
    }
    if (entry.callId.isEmpty())
        return;
    recentMessages.append(entry);
    while (recentMessages.size() > 32)
        recentMessages.removeFirst();
}

void SipDialer::Private::messageReceived(LinphoneChatMessage *message)
{
    // The library reuses the buffer of a custom header for the next one: copy it at once.
    const QString contact
        = contactAddress(fromLibrary(linphone_chat_message_get_custom_header(message, "Contact")));
    QString from = headerAddress(linphone_chat_message_get_from_address(message));
    QString to = headerAddress(linphone_chat_message_get_to_address(message));
    const QString callId = fromLibrary(linphone_chat_message_get_call_id(message));
    for (auto it = recentMessages.crbegin(); it != recentMessages.crend(); ++it) {
        if (!callId.isEmpty() && it->callId == callId) {
            if (!it->from.isEmpty())
                from = it->from;
            if (!it->to.isEmpty())
                to = it->to;
            break;
        }
    }
    const QString body = fromLibrary(linphone_chat_message_get_utf8_text(message));
    emit q.onPager(from, to, contact, body);
}

int SipDialer::Private::addBuddy(const QString &uri)
{
    LinphoneFriendList *list = core ? linphone_core_get_default_friend_list(core.get()) : nullptr;
    auto buddy = list ? LinphoneHandle<LinphoneFriend>::adopt(
                     linphone_core_create_friend_with_address(core.get(), uri.toUtf8().constData()))
                      : LinphoneHandle<LinphoneFriend>();
    if (!buddy) {
        LOG(QStringLiteral("Failed to add buddy ") + uri);
        return -1;
    }
    linphone_friend_enable_subscribes(buddy.get(), TRUE);
    // Anyone we watch may watch us too.
    linphone_friend_set_inc_subscribe_policy(buddy.get(), LinphoneSPAccept);
    if (linphone_friend_list_add_friend(list, buddy.get()) != LinphoneFriendListOK) {
        LOG(QStringLiteral("Failed to add buddy ") + uri);
        return -1;
    }
    int id = 0;
    while (buddies.count(id))
        ++id;
    buddies.emplace(id, std::move(buddy));
    LOG(QStringLiteral("Add buddy ") + uri + QStringLiteral(" id ") + QString::number(id));
    return id;
}

void SipDialer::Private::removeBuddy(int id)
{
    LOG(QStringLiteral("Remove buddy ") + QString::number(id));
    const auto it = buddies.find(id);
    if (it == buddies.end())
        return;
    LinphoneHandle<LinphoneFriend> buddy = std::move(it->second);
    buddies.erase(it);
    if (LinphoneFriendList *list = core ? linphone_core_get_default_friend_list(core.get()) : nullptr)
        linphone_friend_list_remove_friend(list, buddy.get());
    removedBuddies.append({std::move(buddy), id});
    while (removedBuddies.size() > 64)
        removedBuddies.removeFirst();
}

void SipDialer::Private::presenceReceived(LinphoneFriend *buddy)
{
    int id = -1;
    for (const auto &[key, entry] : buddies) {
        if (entry.get() == buddy)
            id = key;
    }
    if (id < 0) {
        for (const auto &[removed, oldId] : std::as_const(removedBuddies)) {
            if (removed.get() == buddy) {
                LOG(QStringLiteral("Buddy no longer valid ") + QString::number(oldId));
                return;
            }
        }
        return; // a watcher of ours, not a buddy
    }
    const LinphonePresenceModel *model = linphone_friend_get_presence_model(buddy);
    if (!model) {
        LOG(QStringLiteral("Unable to get buddy info ") + QString::number(id));
        return;
    }
    // The note the far end wrote wins; else the library's summary of its state.
    const bool open = linphone_presence_model_get_basic_status(model) == LinphonePresenceBasicStatusOpen;
    const unsigned status = open ? BuddyOnline : BuddyOffline;
    QString text;
    if (LinphonePresenceNote *note = linphone_presence_model_get_note(model, nullptr))
        text = fromLibrary(linphone_presence_note_get_content(note)).trimmed();
    if (text.isEmpty())
        text = consolidatedText(linphone_friend_get_consolidated_presence(buddy));
    if (text.isEmpty())
        text = open ? QStringLiteral("Online") : QStringLiteral("Offline");
    emit q.onBuddyState(unsigned(id), text, status);
}

// Anyone may watch our presence: the watcher is kept as a friend that is not watched back.
void SipDialer::Private::subscriptionRequested(LinphoneFriend *watcher, const char *uri)
{
    LOG(QStringLiteral("Presence watcher ") + fromLibrary(uri));
    LinphoneFriendList *list = core ? linphone_core_get_default_friend_list(core.get()) : nullptr;
    if (!list || !watcher)
        return;
    linphone_friend_edit(watcher);
    linphone_friend_set_inc_subscribe_policy(watcher, LinphoneSPAccept);
    linphone_friend_enable_subscribes(watcher, FALSE);
    linphone_friend_done(watcher);
    linphone_friend_list_add_friend(list, watcher);
}

// ---- SipDialer: messages and presence ----

void SipDialer::sendMessage(const sip_call_msg &target, const QString &text)
{
    d->iterateSoon(); // let the stack send what this request queues
    d->sendMessage(target, text);
}

int SipDialer::add_buddy(const QString &uri)
{
    return d->addBuddy(uri);
}

void SipDialer::remove_buddy(int buddy_id)
{
    d->removeBuddy(buddy_id);
}
