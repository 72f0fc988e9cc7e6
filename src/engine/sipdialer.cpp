#include "engine/sipdialer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <limits>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <linphone/core.h>
#include <linphone/logging.h>

#include "core/log.h"
#include "core/settings.h"
#include "core/starttrace.h"
#include "engine/callrecorder.h"
#include "engine/datagramguard.h"
#include "engine/sipdialer_p.h"

namespace {

QString envOr(const char *name, const QString &fallback)
{
    const QByteArray value = qgetenv(name);
    return value.isEmpty() ? fallback : QString::fromLocal8Bit(value);
}

SipDialer::Private *privateOf(LinphoneCore *lc)
{
    LinphoneCoreCbs *cbs = linphone_core_get_current_callbacks(lc);
    return cbs ? static_cast<SipDialer::Private *>(linphone_core_cbs_get_user_data(cbs)) : nullptr;
}

// Binds a socket without SO_REUSEADDR: fails when anyone holds the port, even a socket that was
// bound with SO_REUSEADDR (which the stack's own bind would silently share).
bool canBind(int family, int type, const QString &address, int port)
{
    const int fd = ::socket(family, type, 0);
    if (fd < 0)
        return errno == EAFNOSUPPORT; // no IPv6 here: nothing to collide with
    bool ok = false;
    if (family == AF_INET) {
        sockaddr_in sa {};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(static_cast<uint16_t>(port));
        sa.sin_addr.s_addr = htonl(INADDR_ANY);
        if (!address.isEmpty())
            inet_pton(AF_INET, address.toLatin1().constData(), &sa.sin_addr);
        ok = ::bind(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) == 0;
    } else {
        const int only = 1;
        setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &only, sizeof only);
        sockaddr_in6 sa {};
        sa.sin6_family = AF_INET6;
        sa.sin6_port = htons(static_cast<uint16_t>(port));
        sa.sin6_addr = in6addr_any;
        if (!address.isEmpty())
            inet_pton(AF_INET6, address.toLatin1().constData(), &sa.sin6_addr);
        ok = ::bind(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) == 0 || errno == EADDRNOTAVAIL;
    }
    ::close(fd);
    return ok;
}

} // namespace

// ---- library callbacks: free functions forwarding to the engine ----

void cb_call_state_changed(LinphoneCore *lc, LinphoneCall *call, LinphoneCallState state, const char *message)
{
    if (SipDialer::Private *d = privateOf(lc))
        d->callStateChanged(call, state, message);
}

void cb_account_registration_state_changed(
    LinphoneCore *lc, LinphoneAccount *account, LinphoneRegistrationState state, const char *message)
{
    if (SipDialer::Private *d = privateOf(lc))
        d->registrationChanged(account, state, message);
}

void cb_notify_received(
    LinphoneCore *lc, LinphoneEvent *event, const char *notified_event, const LinphoneContent *body)
{
    if (SipDialer::Private *d = privateOf(lc))
        d->notifyReceived(event, notified_event, body);
}

// ---- Private: start-up and shutdown ----

SipDialer::Private::Private(SipDialer &owner, Settings &store)
    : q(owner)
    , settings(store)
{
    bindAddress = envOr("ORVALO_BIND_ADDRESS", QString());
    bool ok = false;
    const int port = qEnvironmentVariable("ORVALO_SIP_PORT").toInt(&ok);
    if (ok && port > 0 && port < 65536)
        configuredPort = port;
    const int interval = qEnvironmentVariable("ORVALO_REGISTRATION_INTERVAL").toInt(&ok);
    if (ok && interval > 0)
        registrationInterval = interval;
    dataDir = envOr("ORVALO_DATA_DIR", QString());
    fileCardIn = envOr("ORVALO_FILECARD_IN", QString());
    fileCardOut = envOr("ORVALO_FILECARD_OUT", QString());
    iterateTimer.setInterval(IdleIterateMs);
    QObject::connect(&iterateTimer, &QTimer::timeout, &q, [this] { iterate(); });
}

SipDialer::Private::~Private()
{
    stop();
}

void SipDialer::Private::reportError(const QString &text)
{
    LOG(text);
    emit q.onErrorState(orvalo_error_info {text});
}

bool SipDialer::Private::portIsFree(int port) const
{
    const bool v6 = bindAddress.isEmpty() || bindAddress.contains(QLatin1Char(':'));
    const bool v4 = !bindAddress.contains(QLatin1Char(':'));
    const QString v4Address = v4 ? bindAddress : QString();
    const QString v6Address = bindAddress.contains(QLatin1Char(':')) ? bindAddress : QString();
    if (v4
        && (!canBind(AF_INET, SOCK_DGRAM, v4Address, port)
            || !canBind(AF_INET, SOCK_STREAM, v4Address, port)))
        return false;
    if (v6
        && (!canBind(AF_INET6, SOCK_DGRAM, v6Address, port)
            || !canBind(AF_INET6, SOCK_STREAM, v6Address, port)))
        return false;
    return true;
}

void SipDialer::Private::applyConfiguration()
{
    LinphoneCore *lc = core.get();
    LinphoneConfig *config = linphone_core_get_config(lc);

    linphone_core_set_user_agent(lc, "Brisko Orvalo V0.9", nullptr);
    linphone_config_set_int(config, "sip", "reject_duplicated_calls", 0);
    linphone_core_set_max_calls(lc, LibraryCallLimit);
    // The panel writes every call's record to its own database: the stack keeps no call history,
    // which it would otherwise hold in memory, one log per call ever made, and write to a
    // database of its own.
    linphone_config_set_string(config, "storage", "call_logs_db_uri", "null");
    linphone_config_set_int(config, "misc", "history_max_size", 0);
    // Calls carry no media encryption: no ZRTP secrets cache, which every incoming call would
    // otherwise open and query (its tables checked, its own id read) before the 180 is sent.
    linphone_config_set_string(config, "storage", "zrtp_secrets_db_uri", "null");
    // The stack's own call-progress tones (end of call, errors): the panel plays its own tones, and
    // tearing down the end-of-call tone delayed the next incoming call's 180.
    linphone_config_set_int(config, "sound", "tone_indications", 0);
    linphone_config_set_int(config, "misc", "tone_indications", 0);
    linphone_core_enable_auto_send_ringing(lc, FALSE);
    // The stack declines a call that rings for 30 s (486) by itself: here a call rings until it
    // is answered, refused or cancelled.
    linphone_core_set_inc_timeout(lc, std::numeric_limits<int>::max());
    // The microphone is amplified twofold (muting is separate: linphone_core_enable_mic).
    linphone_core_set_mic_gain_db(lc, 6.0206f);
    linphone_core_remove_supported_tag(lc, "gruu");
    if (!bindAddress.isEmpty()) {
        const QByteArray address = bindAddress.toLatin1();
        linphone_config_set_string(config, "sip", "bind_address", address.constData());
        linphone_config_set_string(config, "rtp", "bind_address", address.constData());
        // A pinned address (tests, demo): no probing for "our" address through a public one.
        linphone_config_set_int(config, "sip", "auto_net_state_mon", 0);
    }
    linphone_core_enable_ipv6(lc, bindAddress.isEmpty() || bindAddress.contains(QLatin1Char(':')));

    // The engine rings and plays ringback itself (see ring_start); no video.
    linphone_core_set_ring(lc, nullptr);
    linphone_core_set_ringback(lc, nullptr);
    linphone_core_enable_video_capture(lc, FALSE);
    linphone_core_enable_video_display(lc, FALSE);
    auto policy = LinphoneHandle<LinphoneVideoActivationPolicy>::adopt(
        linphone_factory_create_video_activation_policy(linphone_factory_get()));
    linphone_video_activation_policy_set_automatically_accept(policy.get(), FALSE);
    linphone_video_activation_policy_set_automatically_initiate(policy.get(), FALSE);
    linphone_core_set_video_activation_policy(lc, policy.get());

    int port = configuredPort;
    if (!portIsFree(port)) {
        LOG(QStringLiteral("Already bound to ") + QString::number(port));
        port = LC_SIP_TRANSPORT_RANDOM;
    }
    auto transports = LinphoneHandle<LinphoneTransports>::adopt(
        linphone_factory_create_transports(linphone_factory_get()));
    linphone_transports_set_udp_port(transports.get(), port);
    linphone_transports_set_tcp_port(transports.get(), port);
    linphone_transports_set_tls_port(transports.get(), LC_SIP_TRANSPORT_DISABLED);
    linphone_transports_set_dtls_port(transports.get(), LC_SIP_TRANSPORT_DISABLED);
    if (linphone_core_set_transports(lc, transports.get()) != 0)
        reportError(QStringLiteral("Error creating transport - cannot use port ") + QString::number(port));
}

// The stack does not report a failed bind: a port of 0 among the transports in use means the port
// was taken between the probe and the start; then let the system choose one.
void SipDialer::Private::checkTransports()
{
    auto used = LinphoneHandle<LinphoneTransports>::adopt(linphone_core_get_transports_used(core.get()));
    if (linphone_transports_get_udp_port(used.get()) == 0
        || linphone_transports_get_tcp_port(used.get()) == 0) {
        LOG(QStringLiteral("Already bound to ") + QString::number(configuredPort));
        auto transports = LinphoneHandle<LinphoneTransports>::adopt(
            linphone_factory_create_transports(linphone_factory_get()));
        linphone_transports_set_udp_port(transports.get(), LC_SIP_TRANSPORT_RANDOM);
        linphone_transports_set_tcp_port(transports.get(), LC_SIP_TRANSPORT_RANDOM);
        linphone_transports_set_tls_port(transports.get(), LC_SIP_TRANSPORT_DISABLED);
        linphone_core_set_transports(core.get(), transports.get());
        used = LinphoneHandle<LinphoneTransports>::adopt(linphone_core_get_transports_used(core.get()));
    }
    usedPort = linphone_transports_get_udp_port(used.get());
    LOG(QStringLiteral("SIP transports: UDP ") + QString::number(usedPort) + QStringLiteral(" TCP ")
        + QString::number(linphone_transports_get_tcp_port(used.get())));
}

bool SipDialer::Private::start()
{
    if (core) {
        // Already running: only the sound devices are looked up again.
        setupAudioDevices();
        return true;
    }
    maxCalls = qMin(settings.getIntSetting(Settings::MaxCallCount), int(EngineCallLimit));
    LOG(QStringLiteral("Starting the SIP stack, call limit ") + QString::number(maxCalls));
    CallRecorder::logLeftovers(settings);

    // "sip_log" is only created, empty; the stack's lines go to the application log.
    const QString sipLog = settings.getFilePath(QStringLiteral("sip_log"));
    QString dir = dataDir.isEmpty() ? QFileInfo(sipLog).absolutePath() + QStringLiteral("/sipdata") : dataDir;
    if (!QDir().mkpath(dir)) {
        reportError(QStringLiteral("Error in pjsua_init() - cannot create ") + dir);
        return false;
    }
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    const QByteArray dirBytes = QFile::encodeName(dir);

    installLogging();

    LinphoneFactory *factory = linphone_factory_get();
    linphone_factory_set_data_dir(factory, dirBytes.constData());
    linphone_factory_set_config_dir(factory, dirBytes.constData());
    // The media plugins Debian ships are video displays: a panel without video skips loading them.
    linphone_factory_set_msplugins_dir(factory, dirBytes.constData());
    StartTrace::mark("engine: logging");
    core = LinphoneHandle<LinphoneCore>::adopt(
        linphone_factory_create_core_3(factory, nullptr, nullptr, nullptr));
    if (!core) {
        reportError(QStringLiteral("Error in pjsua_create()"));
        stop();
        return false;
    }

    coreCbs = LinphoneHandle<LinphoneCoreCbs>::adopt(linphone_factory_create_core_cbs(factory));
    linphone_core_cbs_set_user_data(coreCbs.get(), this);
    linphone_core_cbs_set_call_state_changed(coreCbs.get(), cb_call_state_changed);
    linphone_core_cbs_set_account_registration_state_changed(
        coreCbs.get(), cb_account_registration_state_changed);
    linphone_core_cbs_set_notify_received(coreCbs.get(), cb_notify_received);
    installMessagingCallbacks(coreCbs.get());
    linphone_core_add_callbacks(core.get(), coreCbs.get());

    if (!fileCardIn.isEmpty() || !fileCardOut.isEmpty()) {
        fileCard = std::make_unique<FileSoundCard>(fileCardIn, fileCardOut);
        fileCard->registerOn(linphone_core_get_ms_factory(core.get()));
    }

    StartTrace::mark("engine: core created");
    applyConfiguration();
    StartTrace::mark("engine: configured");
    const int status = linphone_core_start(core.get());
    if (status != 0) {
        reportError(QStringLiteral("Error starting pjsua"));
        LOG(QStringLiteral("linphone_core_start: ") + QString::number(status));
        stop();
        return false;
    }
    if (!bindAddress.isEmpty())
        linphone_core_set_network_reachable(core.get(), TRUE);
    StartTrace::mark("engine: core started");
    checkTransports();
    if (fileCard)
        linphone_core_reload_sound_devices(core.get());
    setupAudioDevices();

    if (settings.checkSetting(Settings::UseExternal, Setting::Yes)) {
        // Calls run without local audio; the external sound device is reached through a call.
        linphone_core_set_use_files(core.get(), TRUE);
        linphone_core_set_play_file(core.get(), nullptr);
        linphone_core_set_record_file(core.get(), nullptr);
    }
    watchSipSockets();
    sinceActivity.start();
    iterateTimer.start();
    return true;
}

void SipDialer::Private::stop()
{
    iterateTimer.stop();
    socketNotifiers.clear();
    udpSockets.clear();
    stopMicrophone();
    stopFile();
    ringCounter = 0;
    stopTone();
    if (core) {
        linphone_core_remove_callbacks(core.get(), coreCbs.get());
        linphone_core_terminate_all_calls(core.get());
        stopMessaging();
        linphone_core_stop(core.get());
    }
    calls.clear();
    accounts.clear();
    userToAccount.clear();
    player.reset();
    coreCbs.reset();
    core.reset();
    if (logCbs) {
        linphone_logging_service_remove_callbacks(linphone_logging_service_get(), logCbs.get());
        logCbs.reset();
    }
    if (fileCard) {
        fileCard->flush();
        fileCard.reset();
    }
    devices.clear();
    usedPort = 0;
}

// A slot called from inside an engine signal may run a nested event loop (a message box): the
// stack must not be iterated again from there.
void SipDialer::Private::iterateSoon()
{
    sinceActivity.start();
    if (iterateSoonPending)
        return;
    iterateSoonPending = true;
    QMetaObject::invokeMethod(
        &q,
        [this] {
            iterateSoonPending = false;
            iterate();
        },
        Qt::QueuedConnection);
}

void SipDialer::Private::iterate()
{
    if (!core || iterating)
        return;
    iterating = true;
    dropIncompleteDatagrams();
    linphone_core_iterate(core.get());
    iterating = false;
    // SIP traffic wakes the stack through the socket notifiers; the timer serves the library's own
    // timers (retransmissions, refreshes) and, during calls, the media events. Once nothing has
    // happened for a while only refreshes are left, and the timer slows down further.
    int interval = CallIterateMs;
    if (calls.empty()) {
        const bool quiet = !sinceActivity.isValid() || sinceActivity.elapsed() >= QuietAfterMs;
        interval = quiet && !usesStreamTransport() ? QuietIterateMs : IdleIterateMs;
    }
    if (core && iterateTimer.interval() != interval)
        iterateTimer.setInterval(interval);
}

// The notifiers watch the SIP port only: an account reaching its registrar over TCP or TLS talks on
// a connection of its own, read when the timer iterates, which then keeps its idle pace.
bool SipDialer::Private::usesStreamTransport() const
{
    for (const auto &item : accounts) {
        const AccountEntry &entry = item.second;
        if (entry.account
            && linphone_account_params_get_transport(linphone_account_get_params(entry.account.get()))
                != LinphoneTransportUdp)
            return true;
    }
    return false;
}

// One iteration of the stack reads at most one datagram per socket, the one at the head of its
// queue: the guard sees each datagram before the stack does.
void SipDialer::Private::dropIncompleteDatagrams()
{
    for (const int fd : udpSockets) {
        const QStringList senders = DatagramGuard::dropIncomplete(fd, datagram);
        for (const QString &sender : senders)
            LOG(QStringLiteral("Dropped a datagram from ") + sender
                + QStringLiteral(": not a whole SIP message (header block or body cut short)"));
    }
}

// The stack does not tell its sockets; find ours among the process's descriptors by the SIP port
// (UDP socket and TCP listener) and iterate as soon as one is readable, so that an INVITE is
// answered without waiting for the next timer tick.
void SipDialer::Private::watchSipSockets()
{
    socketNotifiers.clear();
    udpSockets.clear();
    if (usedPort <= 0)
        return;
    const QStringList fds = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System);
    for (const QString &name : fds) {
        bool ok = false;
        const int fd = name.toInt(&ok);

        struct stat st
        { };

        if (!ok || ::fstat(fd, &st) != 0 || !S_ISSOCK(st.st_mode))
            continue;
        sockaddr_storage address {};
        socklen_t length = sizeof address;
        if (::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
            continue;
        int port = 0;
        if (address.ss_family == AF_INET)
            port = ntohs(reinterpret_cast<sockaddr_in *>(&address)->sin_port);
        else if (address.ss_family == AF_INET6)
            port = ntohs(reinterpret_cast<sockaddr_in6 *>(&address)->sin6_port);
        if (port != usedPort)
            continue;
        int type = 0;
        socklen_t typeLength = sizeof type;
        if (::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &typeLength) == 0 && type == SOCK_DGRAM)
            udpSockets.push_back(fd);
        auto notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, &q, [this] {
            sinceActivity.start();
            iterate();
        });
        socketNotifiers.push_back(std::move(notifier));
    }
    LOG(QStringLiteral("Watching ") + QString::number(socketNotifiers.size())
        + QStringLiteral(" SIP sockets"));
}

// ---- SipDialer ----

SipDialer::SipDialer(Settings &settings, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , d(std::make_unique<Private>(*this, settings))
{
    qRegisterMetaType<orvalo_call_info>("orvalo_call_info");
    qRegisterMetaType<orvalo_acc_msg>("orvalo_acc_msg");
    qRegisterMetaType<orvalo_error_info>("orvalo_error_info");
    qRegisterMetaType<sip_acc_msg>("sip_acc_msg");
    qRegisterMetaType<sip_call_msg>("sip_call_msg");
}

SipDialer::~SipDialer()
{
    d->stop();
}

void SipDialer::setBindAddress(const QString &address)
{
    d->bindAddress = address;
}

void SipDialer::setSipPort(int port)
{
    d->configuredPort = port;
}

void SipDialer::setRegistrationInterval(int seconds)
{
    d->registrationInterval = seconds;
}

void SipDialer::setDataDir(const QString &path)
{
    d->dataDir = path;
}

void SipDialer::setFileSoundCard(const QString &inputWav, const QString &outputWav)
{
    d->fileCardIn = inputWav;
    d->fileCardOut = outputWav;
}

bool SipDialer::init()
{
    return d->start();
}

void SipDialer::shutdown()
{
    d->stop();
}

bool SipDialer::isRunning() const
{
    return static_cast<bool>(d->core);
}

int SipDialer::sipPort() const
{
    return d->usedPort;
}

int SipDialer::requestedSipPort() const
{
    return d->configuredPort;
}

void SipDialer::iterateNow()
{
    d->iterate();
}

void SipDialer::setMaxCallCount(int count)
{
    d->maxCalls = qBound(0, count, int(Private::EngineCallLimit));
}

int SipDialer::getMaxCallCount() const
{
    return d->maxCalls;
}

void SipDialer::setDndOn(bool on)
{
    d->dnd = on;
}

bool SipDialer::isDndOn() const
{
    return d->dnd;
}

void SipDialer::onExitButtonSlot()
{
    d->stop();
    QCoreApplication::exit(0);
}
