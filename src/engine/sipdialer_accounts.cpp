// SipDialer: account registration and message-waiting indication.

#include "core/log.h"
#include "core/starttrace.h"
#include "engine/linphoneutil.h"
#include "engine/messagesummary.h"
#include "engine/sipdialer_p.h"

namespace {

using lp::addressText;
using lp::fromLibrary;
using lp::hasMedia;

} // namespace

int SipDialer::Private::accountId(const LinphoneAccount *account) const
{
    for (const auto &[id, entry] : accounts) {
        if (entry.account.get() == account)
            return id;
    }
    return -1;
}

int SipDialer::Private::registerAccount(const sip_acc_msg &msg)
{
    if (!core) {
        reportError(QStringLiteral("Error registering extension - the SIP stack is not running"));
        return -1;
    }
    LinphoneFactory *factory = linphone_factory_get();
    LOG(QStringLiteral("Account ") + msg.id_uri + QStringLiteral(" registrar ") + msg.reg_uri
        + QStringLiteral(" user ") + msg.username + QStringLiteral(" password ")
        + (msg.password.isEmpty() ? QString() : QStringLiteral("********")));
    if (!msg.password.isEmpty())
        secrets.insert(msg.password);

    auto identity = LinphoneHandle<LinphoneAddress>::adopt(
        linphone_factory_create_address(factory, msg.id_uri.toUtf8().constData()));
    if (!identity) {
        reportError(QStringLiteral("Error registering extension - invalid identity ") + msg.id_uri);
        return -1;
    }
    auto params
        = LinphoneHandle<LinphoneAccountParams>::adopt(linphone_core_create_account_params(core.get()));
    linphone_account_params_set_identity_address(params.get(), identity.get());
    if (linphone_account_params_set_server_addr(params.get(), msg.reg_uri.toUtf8().constData()) != 0) {
        reportError(QStringLiteral("Error registering extension - invalid registrar ") + msg.reg_uri);
        return -1;
    }
    linphone_account_params_enable_register(params.get(), TRUE);
    linphone_account_params_set_expires(params.get(), registrationInterval);

    // One digest credential for any realm of the account's domain.
    AccountEntry entry;
    entry.user = msg.username;
    const QByteArray user = msg.username.toUtf8();
    const QByteArray password = msg.password.toUtf8();
    entry.auth
        = LinphoneHandle<LinphoneAuthInfo>::adopt(linphone_factory_create_auth_info(factory, user.constData(),
            nullptr, password.constData(), nullptr, nullptr, linphone_address_get_domain(identity.get())));
    linphone_core_add_auth_info(core.get(), entry.auth.get());

    entry.account
        = LinphoneHandle<LinphoneAccount>::adopt(linphone_core_create_account(core.get(), params.get()));
    if (!entry.account || linphone_core_add_account(core.get(), entry.account.get()) != 0) {
        reportError(QStringLiteral("Error registering extension - the account was refused"));
        return -1;
    }
    linphone_core_set_default_account(core.get(), entry.account.get());

    int id = 0;
    while (accounts.count(id))
        ++id;
    accounts.emplace(id, std::move(entry));
    LOG(QStringLiteral("Registering ") + msg.username + QStringLiteral(" id: ") + QString::number(id));
    if (!userToAccount.contains(msg.username))
        userToAccount.insert(msg.username, id);
    return id;
}

void SipDialer::Private::unregisterAccount(int accId)
{
    LOG(QStringLiteral("Unregistering ") + QString::number(accId));
    const auto it = accounts.find(accId);
    if (it == accounts.end())
        return;
    // Forgotten first: the library's later reports about this account reach nobody.
    const LinphoneHandle<LinphoneAccount> account = it->second.account;
    accounts.erase(it);
    for (auto user = userToAccount.begin(); user != userToAccount.end();) {
        if (user.value() == accId)
            user = userToAccount.erase(user);
        else
            ++user;
    }
    if (core && account)
        linphone_core_remove_account(core.get(), account.get());
}

void SipDialer::Private::registrationChanged(
    LinphoneAccount *account, LinphoneRegistrationState state, const char *message)
{
    const int id = accountId(account);
    if (StartTrace::enabled()) {
        static int sent = 0;
        static int answered = 0;
        if (state == LinphoneRegistrationProgress)
            StartTrace::mark(QByteArray("register_sent n=" + QByteArray::number(++sent)).constData());
        else if (state == LinphoneRegistrationOk)
            StartTrace::mark(QByteArray("registered n=" + QByteArray::number(++answered)).constData());
    }
    if (id < 0
        || (state != LinphoneRegistrationOk && state != LinphoneRegistrationFailed
            && state != LinphoneRegistrationCleared))
        return;
    const LinphoneAccountParams *params = linphone_account_get_params(account);
    const LinphoneErrorInfo *error = linphone_account_get_error_info(account);
    const int code = error ? linphone_error_info_get_protocol_code(error) : 0;
    LinphoneReason reason = error ? linphone_error_info_get_reason(error) : LinphoneReasonNone;
    const QString phrase = error ? fromLibrary(linphone_error_info_get_phrase(error)) : QString();

    orvalo_acc_msg info;
    info.acc_id = id;
    info.is_default = linphone_core_get_default_account(core.get()) == account;
    info.has_registration = linphone_account_params_register_enabled(params);
    info.acc_uri = addressText(linphone_account_params_get_identity_address(params));
    if (state == LinphoneRegistrationFailed) {
        info.status = code;
        info.status_text = phrase.isEmpty() ? fromLibrary(message) : phrase;
        info.expires = 0;
        // No answer: the library says "503 io error" for a registrar that stays silent over UDP
        // (after the transaction's 32 s) and for a refused TCP connection; report the first as the
        // time-out it is. A 503 the registrar sent carries its own phrase.
        const LinphoneAddress *server = linphone_account_params_get_server_address(params);
        const bool udp = !server || linphone_address_get_transport(server) == LinphoneTransportUdp;
        if (reason == LinphoneReasonIOError
            && phrase.compare(QLatin1String("io error"), Qt::CaseInsensitive) != 0)
            reason = LinphoneReasonNone; // a response
        if (reason == LinphoneReasonNoResponse || (reason == LinphoneReasonIOError && udp)) {
            info.status = 408;
            info.status_text = QStringLiteral("Request Timeout");
        } else if (reason == LinphoneReasonIOError) {
            info.status = 503;
            info.status_text = QStringLiteral("Service Unavailable");
        }
    } else {
        info.status = 200;
        info.status_text = QStringLiteral("OK");
        info.expires = state == LinphoneRegistrationOk ? linphone_account_params_get_expires(params) : 0;
    }
    info.online_status = state == LinphoneRegistrationOk;
    info.online_status_text = info.online_status ? QStringLiteral("Online") : QStringLiteral("Offline");
    // The source address of the response is not in the API; the registrar it was sent to is. A
    // time-out or a transport error has no response.
    const bool answered
        = info.status > 0 && reason != LinphoneReasonNoResponse && reason != LinphoneReasonIOError;
    if (answered) {
        const LinphoneAddress *server = linphone_account_params_get_server_address(params);
        if (server) {
            // The registrar's address as the panel compares it with a caller's host: no port.
            info.registrar_address = fromLibrary(linphone_address_get_domain(server));
        }
    }
    LOG(QStringLiteral("Registration ") + QString::number(id) + QStringLiteral(": ")
        + QString::number(info.status) + QLatin1Char(' ') + info.status_text);
    emit q.onRegistrationChanged(info);
}

void SipDialer::Private::notifyReceived(
    LinphoneEvent *event, const char *notifiedEvent, const LinphoneContent *body)
{
    QString text;
    if (body && linphone_content_get_size(body) > 0)
        text = QString::fromUtf8(reinterpret_cast<const char *>(linphone_content_get_buffer(body)),
            static_cast<qsizetype>(linphone_content_get_size(body)));
    LOG(QStringLiteral("NOTIFY ") + fromLibrary(notifiedEvent));

    orvalo_acc_msg info;
    const LinphoneAddress *to = event ? linphone_event_get_to(event) : nullptr;
    const QString user = to ? fromLibrary(linphone_address_get_username(to)) : QString();
    if (userToAccount.contains(user))
        info.acc_id = userToAccount.value(user);
    else
        info.acc_id = accountId(linphone_core_get_default_account(core.get()));

    const QList<VoiceMessageCount> counts = MessageSummary::parse(text);
    for (const VoiceMessageCount &count : counts)
        emit q.onMessagesWaiting(info, count.newMessages, count.oldMessages);
}

// ---- SipDialer: accounts ----

int SipDialer::registerAccount(const sip_acc_msg &msg)
{
    d->iterateSoon(); // let the stack send what this request queues
    return d->registerAccount(msg);
}

void SipDialer::onRegisterButtonSlot(const sip_acc_msg &msg)
{
    d->registerAccount(msg);
}

void SipDialer::unregisterAccount(int acc_id)
{
    d->iterateSoon(); // let the stack send what this request queues
    d->unregisterAccount(acc_id);
}
