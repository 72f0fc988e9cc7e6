#include "peer.h"

#include <arpa/inet.h>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTemporaryDir>

#include <linphone/core.h>

#include "eventline.h"
#include "peertext.h"

namespace {

const char *const soundsDir = "/usr/share/sounds/linphone";

Peer *peerOf(LinphoneCore *lc)
{
    return static_cast<Peer *>(linphone_core_cbs_get_user_data(linphone_core_get_current_callbacks(lc)));
}

// True when a plain bind() (no SO_REUSEADDR) of the address and port succeeds for the socket
// type. The library binds with SO_REUSEADDR and would share a port held by another such socket
// without noticing, so a taken port is detected here first.
bool portFree(const QString &address, int port, int type)
{
    sockaddr_storage storage {};
    socklen_t length = 0;
    const QByteArray host = address.toLatin1();
    if (address.contains(QLatin1Char(':'))) {
        auto *in6 = reinterpret_cast<sockaddr_in6 *>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(quint16(port));
        if (inet_pton(AF_INET6, host.constData(), &in6->sin6_addr) != 1)
            return false;
        length = sizeof(sockaddr_in6);
    } else {
        auto *in4 = reinterpret_cast<sockaddr_in *>(&storage);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(quint16(port));
        if (inet_pton(AF_INET, host.constData(), &in4->sin_addr) != 1)
            return false;
        length = sizeof(sockaddr_in);
    }
    const int fd = ::socket(storage.ss_family, type, 0);
    if (fd < 0)
        return false;
    const bool free = ::bind(fd, reinterpret_cast<sockaddr *>(&storage), length) == 0;
    ::close(fd);
    return free;
}

void cbRegistration(
    LinphoneCore *lc, LinphoneAccount *account, LinphoneRegistrationState state, const char *message)
{
    peerOf(lc)->onRegistration(account, state, message);
}

void cbCallState(LinphoneCore *lc, LinphoneCall *call, LinphoneCallState state, const char *message)
{
    peerOf(lc)->onCallState(call, state, message);
}

void cbDtmf(LinphoneCore *lc, LinphoneCall *call, int dtmf)
{
    peerOf(lc)->onDtmf(call, dtmf);
}

void cbMessage(LinphoneCore *lc, LinphoneChatRoom *, LinphoneChatMessage *message)
{
    const QByteArray from = addressText(linphone_chat_message_get_from_address(message)).toUtf8();
    const QByteArray to = addressText(linphone_chat_message_get_to_address(message)).toUtf8();
    peerOf(lc)->onMessage(from.constData(), to.constData(), linphone_chat_message_get_utf8_text(message));
}

void cbNotify(LinphoneCore *lc, LinphoneEvent *event, const char *notifiedEvent, const LinphoneContent *body)
{
    QString text;
    if (body) {
        const uint8_t *buffer = linphone_content_get_buffer(body);
        if (buffer)
            text = QString::fromUtf8(
                reinterpret_cast<const char *>(buffer), qsizetype(linphone_content_get_size(body)));
    }
    const QByteArray from = addressText(linphone_event_get_from(event)).toUtf8();
    peerOf(lc)->onNotify(notifiedEvent, from.constData(), text);
}

void cbPresence(LinphoneCore *lc, LinphoneFriend *lf)
{
    const QByteArray from = addressText(linphone_friend_get_address(lf)).toUtf8();
    peerOf(lc)->onPresence(from.constData(), linphone_friend_get_consolidated_presence(lf));
}

void cbNewSubscription(LinphoneCore *lc, LinphoneFriend *lf, const char *url)
{
    // Let anyone watch this peer's presence: the watcher becomes a friend that is accepted.
    EventLine("subscription").add("from", url).emitLine();
    linphone_friend_edit(lf);
    linphone_friend_set_inc_subscribe_policy(lf, LinphoneSPAccept);
    linphone_friend_enable_subscribes(lf, FALSE);
    linphone_friend_done(lf);
    linphone_friend_list_add_friend(linphone_core_get_default_friend_list(lc), lf);
}

void cbTransferState(LinphoneCore *lc, LinphoneCall *transferred, LinphoneCallState state)
{
    peerOf(lc)->onTransferState(transferred, state);
}

void cbLog(LinphoneLoggingService *, const char *domain, LinphoneLogLevel level, const char *message)
{
    std::fprintf(stderr, "[%s] %d %s\n", domain ? domain : "", int(level), message ? message : "");
}

} // namespace

Peer::Peer(const PeerOptions &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
{
    m_iterate.setInterval(10);
    connect(&m_iterate, &QTimer::timeout, this, [this] {
        if (m_core)
            linphone_core_iterate(m_core);
    });
}

Peer::~Peer()
{
    m_iterate.stop();
    if (m_core) {
        // no events after "EVENT exit"
        if (m_cbs) {
            linphone_core_remove_callbacks(m_core, m_cbs);
            linphone_core_cbs_unref(m_cbs);
        }
        linphone_core_terminate_all_calls(m_core);
        for (auto it = m_calls.begin(); it != m_calls.end(); ++it)
            linphone_call_unref(it.key());
        m_calls.clear();
        for (LinphoneChatMessage *message : std::as_const(m_sent))
            linphone_chat_message_unref(message);
        m_sent.clear();
        linphone_core_stop(m_core);
        linphone_core_unref(m_core);
    }
}

bool Peer::start()
{
    if (m_options.port != 0
        && (!portFree(m_options.bindAddress, m_options.port, SOCK_DGRAM)
            || !portFree(m_options.bindAddress, m_options.port, SOCK_STREAM))) {
        error(QStringLiteral("start"), QStringLiteral("SIP port %1 is in use").arg(m_options.port));
        return false;
    }
    QString dataDir = m_options.dataDir;
    if (dataDir.isEmpty()) {
        // removed again when the peer ends
        m_tempDir = std::make_unique<QTemporaryDir>(QDir::temp().filePath(QStringLiteral("sippeer-XXXXXX")));
        dataDir = m_tempDir->path();
    }
    if (!QDir().mkpath(dataDir)) {
        error(QStringLiteral("start"), QStringLiteral("cannot create data dir ") + dataDir);
        return false;
    }
    const QByteArray dir = QFileInfo(dataDir).absoluteFilePath().toUtf8() + '/';

    // Library logs: serialized onto the iterating thread, then to stderr (stdout carries events).
    linphone_core_serialize_logs();
    LinphoneLoggingService *logging = linphone_logging_service_get();
    linphone_logging_service_set_log_level(
        logging, m_options.verbose ? LinphoneLogLevelMessage : LinphoneLogLevelWarning);
    LinphoneLoggingServiceCbs *logCbs = linphone_factory_create_logging_service_cbs(linphone_factory_get());
    linphone_logging_service_cbs_set_log_message_written(logCbs, cbLog);
    linphone_logging_service_add_callbacks(logging, logCbs);
    linphone_logging_service_cbs_unref(logCbs);

    // Keys that must be in place before the core starts: loopback binding, no network probes.
    const QByteArray rcPath = dir + "sippeerrc";
    QFile rc(QString::fromUtf8(rcPath));
    if (!rc.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        error(QStringLiteral("start"), QStringLiteral("cannot write ") + rc.fileName());
        return false;
    }
    const QByteArray bind = m_options.bindAddress.toUtf8();
    rc.write("[sip]\nbind_address=" + bind
        + "\nauto_net_state_mon=0\nreject_duplicated_calls=0\nguess_hostname=0\n"
          "contact=sip:"
        + m_options.user.toUtf8() + "@" + m_options.domain.toUtf8()
        + "\n"
          "[rtp]\nbind_address="
        + bind
        + "\n"
          "[storage]\nuri="
        + dir
        + "sippeer.db\n"
          "[misc]\nmax_calls="
        + QByteArray::number(m_options.maxCalls)
        + "\n"
          "[sound]\nechocancellation=0\n"
          "[video]\nautomatically_initiate=0\nautomatically_accept=0\n");
    rc.close();

    LinphoneFactory *factory = linphone_factory_get();
    linphone_factory_set_data_dir(factory, dir.constData());
    linphone_factory_set_config_dir(factory, dir.constData());
    m_core = linphone_factory_create_core_3(factory, rcPath.constData(), nullptr, nullptr);
    if (!m_core) {
        error(QStringLiteral("start"), QStringLiteral("cannot create the core"));
        return false;
    }

    m_cbs = linphone_factory_create_core_cbs(factory);
    LinphoneCoreCbs *cbs = m_cbs;
    linphone_core_cbs_set_user_data(cbs, this);
    linphone_core_cbs_set_account_registration_state_changed(cbs, cbRegistration);
    linphone_core_cbs_set_call_state_changed(cbs, cbCallState);
    linphone_core_cbs_set_dtmf_received(cbs, cbDtmf);
    linphone_core_cbs_set_message_received(cbs, cbMessage);
    linphone_core_cbs_set_notify_received(cbs, cbNotify);
    linphone_core_cbs_set_notify_presence_received(cbs, cbPresence);
    linphone_core_cbs_set_new_subscription_requested(cbs, cbNewSubscription);
    linphone_core_cbs_set_transfer_state_changed(cbs, cbTransferState);
    linphone_core_add_callbacks(m_core, cbs);

    linphone_core_enable_ipv6(m_core, m_options.ipv6);
    linphone_core_set_user_agent(m_core, "orvalo-sippeer", "1.0");
    linphone_core_set_max_calls(m_core, m_options.maxCalls);
    if (m_options.lossPercent > 0) {
        // A lossy path: the stack's network simulator drops that share of the RTP that arrives
        // (RTCP passes, so the peer's reports tell the far end what it lost).
        OrtpNetworkSimulatorParams lossy {};
        lossy.enabled = TRUE;
        lossy.loss_rate = float(qBound(0, m_options.lossPercent, 100));
        lossy.rtp_only = TRUE;
        lossy.mode = OrtpNetworkSimulatorInbound;
        linphone_core_set_network_simulator_params(m_core, &lossy);
    }
    linphone_core_enable_auto_send_ringing(m_core, !m_options.noRinging);
    linphone_core_set_inc_timeout(m_core, 600);
    // The library answers a call that replaces one of ours (an attended transfer's) by itself.
    if (m_options.refuseTransfer)
        linphone_config_set_int(linphone_core_get_config(m_core), "sip", "auto_answer_replacing_calls", 0);
    linphone_core_set_audio_port(m_core, -1);
    linphone_core_set_use_rfc2833_for_dtmf(m_core, !m_options.dtmfInfo);
    linphone_core_set_use_info_for_dtmf(m_core, m_options.dtmfInfo);
    linphone_core_set_ring(
        m_core, QByteArray(QByteArray(soundsDir) + "/rings/oldphone-mono.wav").constData());
    linphone_core_set_ringback(m_core, QByteArray(QByteArray(soundsDir) + "/ringback.wav").constData());
    // Audio from and to files: no sound hardware needed.
    linphone_core_set_use_files(m_core, TRUE);
    linphone_core_set_play_file(
        m_core, m_options.playFile.isEmpty() ? nullptr : m_options.playFile.toUtf8().constData());
    linphone_core_set_record_file(
        m_core, m_options.recordFile.isEmpty() ? nullptr : m_options.recordFile.toUtf8().constData());

    LinphoneTransports *transports = linphone_factory_create_transports(factory);
    linphone_transports_set_udp_port(
        transports, m_options.port == 0 ? LC_SIP_TRANSPORT_RANDOM : m_options.port);
    linphone_transports_set_tcp_port(
        transports, m_options.port == 0 ? LC_SIP_TRANSPORT_RANDOM : m_options.port);
    linphone_core_set_transports(m_core, transports);
    linphone_transports_unref(transports);

    if (linphone_core_start(m_core) != 0) {
        error(QStringLiteral("start"), QStringLiteral("linphone_core_start failed"));
        return false;
    }
    LinphoneTransports *used = linphone_core_get_transports_used(m_core);
    const int udpPort = linphone_transports_get_udp_port(used);
    const int tcpPort = linphone_transports_get_tcp_port(used);
    linphone_transports_unref(used);
    if (udpPort <= 0 || tcpPort <= 0) {
        error(QStringLiteral("start"), QStringLiteral("cannot bind SIP port %1").arg(m_options.port));
        return false;
    }
    linphone_core_set_network_reachable(m_core, TRUE);

    if (!m_options.registrar.isEmpty()) {
        const QByteArray identity = "sip:" + m_options.user.toUtf8() + "@" + m_options.domain.toUtf8();
        const QByteArray server
            = "sip:" + m_options.registrar.toUtf8() + ";transport=" + m_options.transport.toUtf8();
        if (!m_options.password.isEmpty()) {
            LinphoneAuthInfo *auth
                = linphone_factory_create_auth_info(factory, m_options.user.toUtf8().constData(), nullptr,
                    m_options.password.toUtf8().constData(), nullptr, nullptr, nullptr);
            linphone_core_add_auth_info(m_core, auth);
            linphone_auth_info_unref(auth);
        }
        LinphoneAccountParams *params = linphone_core_create_account_params(m_core);
        LinphoneAddress *identityAddress = linphone_factory_create_address(factory, identity.constData());
        if (!identityAddress) {
            linphone_account_params_unref(params);
            error(QStringLiteral("start"), QStringLiteral("bad identity ") + QString::fromUtf8(identity));
            return false;
        }
        linphone_account_params_set_identity_address(params, identityAddress);
        linphone_address_unref(identityAddress);
        linphone_account_params_set_server_addr(params, server.constData());
        linphone_account_params_set_outbound_proxy_enabled(params, TRUE);
        linphone_account_params_set_register_enabled(params, TRUE);
        linphone_account_params_set_expires(params, m_options.expires);
        linphone_account_params_set_publish_enabled(params, !m_options.presence.isEmpty());
        m_account = linphone_core_create_account(m_core, params);
        linphone_account_params_unref(params);
        linphone_core_add_account(m_core, m_account);
        linphone_core_set_default_account(m_core, m_account);
        linphone_account_unref(m_account); // the core holds it
    }

    if (!m_options.ignoreStdin) {
        m_stdin = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
        connect(m_stdin.get(), &QSocketNotifier::activated, this, &Peer::readStdin);
    }
    if (m_options.exitAfterSeconds >= 0)
        QTimer::singleShot(m_options.exitAfterSeconds * 1000, this, [this] { quit("timeout"); });
    m_iterate.start();

    EventLine("ready")
        .add("port", udpPort)
        .add("user", m_options.user)
        .add("transport", m_options.transport)
        .add("pid", QCoreApplication::applicationPid())
        .emitLine();
    if (!m_account)
        afterRegistered();
    return true;
}

void Peer::afterRegistered()
{
    if (m_registeredOnce)
        return;
    m_registeredOnce = true;
    if (!m_options.callUri.isEmpty())
        QTimer::singleShot(m_options.callDelay, this, [this] { placeCall(m_options.callUri); });
    if (!m_options.messageTo.isEmpty())
        sendMessage(m_options.messageTo, m_options.messageText);
    if (!m_options.presence.isEmpty())
        publishPresence(m_options.presence, m_options.presenceNote);
    for (const QString &uri : std::as_const(m_options.subscribeTo))
        subscribe(uri);
}

void Peer::quit(const char *reason, int exitCode)
{
    if (m_quitting)
        return;
    m_quitting = true;
    if (m_core) {
        linphone_core_terminate_all_calls(m_core);
        // let BYEs and CANCELs leave before the core goes away
        for (int i = 0; i < 20; ++i) {
            linphone_core_iterate(m_core);
            usleep(10000);
        }
    }
    EventLine("exit").add("reason", reason).emitLine();
    emit finished(exitCode);
}

void Peer::error(const QString &what, const QString &text)
{
    EventLine("error").add("what", what).add("text", text).emitLine();
}

void Peer::readStdin()
{
    char buffer[4096];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
        m_stdin->setEnabled(false);
        quit("stdin-closed");
        return;
    }
    m_stdinBuffer.append(buffer, n);
    qsizetype end;
    while ((end = m_stdinBuffer.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(m_stdinBuffer.left(end)).trimmed();
        m_stdinBuffer.remove(0, end + 1);
        if (!line.isEmpty())
            runCommand(line);
    }
}

void Peer::runCommand(const QString &line)
{
    const QString command = line.section(QLatin1Char(' '), 0, 0);
    const QString rest = line.section(QLatin1Char(' '), 1).trimmed();
    const QString arg1 = rest.section(QLatin1Char(' '), 0, 0);
    const QString arg2 = rest.section(QLatin1Char(' '), 1).trimmed();
    const auto callArg = [](const QString &text) { return text.isEmpty() ? 0 : text.toInt(); };

    if (command == QLatin1String("quit")) {
        quit("quit");
    } else if (command == QLatin1String("call")) {
        placeCall(rest);
    } else if (command == QLatin1String("answer")) {
        if (LinphoneCall *call = findCall(callArg(arg1)))
            linphone_call_accept(call);
        else
            error(command, QStringLiteral("no call"));
    } else if (command == QLatin1String("decline")) {
        if (LinphoneCall *call = findCall(callArg(arg1)))
            declineCall(call, arg2.isEmpty() ? 486 : arg2.toInt());
        else
            error(command, QStringLiteral("no call"));
    } else if (command == QLatin1String("hangup")) {
        if (LinphoneCall *call = findCall(callArg(arg1)))
            linphone_call_terminate(call);
        else
            error(command, QStringLiteral("no call"));
    } else if (command == QLatin1String("hold")) {
        if (LinphoneCall *call = findCall(callArg(arg1)))
            linphone_call_pause(call);
        else
            error(command, QStringLiteral("no call"));
    } else if (command == QLatin1String("resume")) {
        if (LinphoneCall *call = findCall(callArg(arg1)))
            linphone_call_resume(call);
        else
            error(command, QStringLiteral("no call"));
    } else if (command == QLatin1String("dtmf")) {
        if (LinphoneCall *call = findCall(callArg(arg2)))
            linphone_call_send_dtmfs(call, arg1.toUtf8().constData());
        else
            error(command, QStringLiteral("no call"));
    } else if (command == QLatin1String("transfer")) {
        LinphoneCall *call = findCall(callArg(arg2));
        LinphoneAddress *to
            = m_core ? linphone_core_interpret_url(m_core, arg1.toUtf8().constData()) : nullptr;
        if (!call || !to || linphone_call_transfer_to(call, to) != 0)
            error(command, QStringLiteral("transfer failed"));
        if (to)
            linphone_address_unref(to);
    } else if (command == QLatin1String("message")) {
        sendMessage(arg1, arg2);
    } else if (command == QLatin1String("presence")) {
        publishPresence(arg1, arg2);
    } else if (command == QLatin1String("subscribe")) {
        subscribe(arg1);
    } else if (command == QLatin1String("register") || command == QLatin1String("unregister")) {
        if (!m_account) {
            error(command, QStringLiteral("no registrar"));
            return;
        }
        LinphoneAccountParams *params = linphone_account_params_clone(linphone_account_get_params(m_account));
        linphone_account_params_set_register_enabled(params, command == QLatin1String("register"));
        linphone_account_set_params(m_account, params);
        linphone_account_params_unref(params);
    } else {
        error(QStringLiteral("command"), QStringLiteral("unknown command: ") + line);
    }
}

void Peer::onRegistration(LinphoneAccount *account, int state, const char *message)
{
    const LinphoneErrorInfo *ei = linphone_account_get_error_info(account);
    int code = ei ? linphone_error_info_get_protocol_code(ei) : 0;
    if (state == LinphoneRegistrationOk && code == 0)
        code = 200;
    EventLine("registration")
        .add("state",
            stripPrefix(linphone_registration_state_to_string(LinphoneRegistrationState(state)),
                "LinphoneRegistration"))
        .add("code", code)
        .add("reason", message)
        .emitLine();
    if (state == LinphoneRegistrationOk)
        afterRegistered();
}
