#include "peeroptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace {

bool toInt(const QCommandLineParser &parser, const QString &name, int *out, QString *error)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok) {
        *error = QStringLiteral("--%1: not a number: %2").arg(name, parser.value(name));
        return false;
    }
    *out = value;
    return true;
}

} // namespace

bool PeerOptions::parse(const QCoreApplication &app, QString *error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Scripted SIP peer for the loopback test bed. Prints one EVENT line per event on stdout "
        "and reads commands from stdin (see README.md)."));
    parser.addHelpOption();
    const auto opt = [&parser](const char *name, const char *help, const char *valueName = nullptr) {
        if (valueName)
            parser.addOption(QCommandLineOption(
                QString::fromLatin1(name), QString::fromLatin1(help), QString::fromLatin1(valueName)));
        else
            parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(help)));
    };
    opt("port", "SIP port for UDP and TCP (default 5060; 0: any free port).", "port");
    opt("bind", "Address for SIP and RTP (default 127.0.0.1).", "address");
    opt("ipv6", "Enable IPv6 (needed with --bind ::1).");
    opt("transport", "Transport to the registrar: udp or tcp (default udp).", "udp|tcp");
    opt("registrar", "Register at this registrar/proxy; it also routes all requests.", "host:port");
    opt("user", "User name (default peer).", "name");
    opt("password", "Digest password.", "password");
    opt("domain", "SIP domain (default: registrar host).", "domain");
    opt("expires", "Registration expiry in seconds (default 600).", "s");
    opt("data-dir", "Directory for the library's files (created).", "dir");
    opt("call", "Call this URI at start (after registration when registering).", "uri");
    opt("call-delay", "Wait before calling.", "ms");
    opt("header", "Add 'Name: value' to outgoing INVITEs (repeatable).", "header");
    opt("print-header", "Also report this header of incoming INVITEs (repeatable).", "name");
    opt("auto-answer", "Answer incoming calls after this delay.", "ms");
    opt("decline", "Decline incoming calls with this SIP code (e.g. 486, 480, 603).", "code");
    opt("decline-after", "Wait before declining (default 0).", "ms");
    opt("no-ringing", "Do not send 180 for incoming calls.");
    opt("max-calls", "Library call limit (default 32).", "n");
    opt("loss", "Drop this percentage of the RTP packets that reach the peer (0-100).", "percent");
    opt("play", "WAV file sent as microphone audio.", "file.wav");
    opt("record", "Record what the peer hears to this WAV file.", "file.wav");
    opt("dtmf", "Send these digits once a call is up.", "digits");
    opt("dtmf-delay", "Delay after the call is up before sending digits (default 500).", "ms");
    opt("dtmf-method", "rfc2833 (default) or info.", "method");
    opt("hold-after", "Put a call on hold this long after it is up.", "ms");
    opt("resume-after", "Resume a held call after this delay.", "ms");
    opt("transfer-to", "Blind-transfer a call once it is up.", "uri");
    opt("transfer-after", "Delay after the call is up before transferring (default 500).", "ms");
    opt("refuse-transfer", "Decline (603) a call that would replace one of ours (attended transfer).");
    opt("hangup-after", "Hang a call up this long after it is up.", "ms");
    opt("message", "Send a MESSAGE to this URI at start (after registration).", "uri");
    opt("message-text", "Body of --message (default hello).", "text");
    opt("presence", "Publish this presence after registration: online, busy or offline.", "status");
    opt("presence-note", "With --presence: the note published with it (the presence text).", "text");
    opt("subscribe", "Subscribe to the presence of this URI (repeatable).", "uri");
    opt("exit-after", "Exit after this many seconds.", "s");
    opt("no-stdin", "Do not read commands from stdin (and do not exit when it closes).");
    opt("verbose", "Library log at message level (stderr).");
    parser.process(app);

    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument: ") + parser.positionalArguments().first();
        return false;
    }
    const auto str = [&parser](const char *name, QString *out) {
        if (parser.isSet(QString::fromLatin1(name)))
            *out = parser.value(QString::fromLatin1(name));
    };
    if (!toInt(parser, QStringLiteral("port"), &port, error)
        || !toInt(parser, QStringLiteral("expires"), &expires, error)
        || !toInt(parser, QStringLiteral("call-delay"), &callDelay, error)
        || !toInt(parser, QStringLiteral("auto-answer"), &autoAnswer, error)
        || !toInt(parser, QStringLiteral("decline"), &declineCode, error)
        || !toInt(parser, QStringLiteral("decline-after"), &declineAfter, error)
        || !toInt(parser, QStringLiteral("max-calls"), &maxCalls, error)
        || !toInt(parser, QStringLiteral("loss"), &lossPercent, error)
        || !toInt(parser, QStringLiteral("dtmf-delay"), &dtmfDelay, error)
        || !toInt(parser, QStringLiteral("hold-after"), &holdAfter, error)
        || !toInt(parser, QStringLiteral("resume-after"), &resumeAfter, error)
        || !toInt(parser, QStringLiteral("transfer-after"), &transferAfter, error)
        || !toInt(parser, QStringLiteral("hangup-after"), &hangupAfter, error)
        || !toInt(parser, QStringLiteral("exit-after"), &exitAfterSeconds, error))
        return false;
    str("bind", &bindAddress);
    str("transport", &transport);
    str("registrar", &registrar);
    str("user", &user);
    str("password", &password);
    str("domain", &domain);
    str("data-dir", &dataDir);
    str("call", &callUri);
    str("play", &playFile);
    str("record", &recordFile);
    str("dtmf", &dtmf);
    str("transfer-to", &transferTo);
    str("message", &messageTo);
    str("message-text", &messageText);
    str("presence", &presence);
    str("presence-note", &presenceNote);
    headers = parser.values(QStringLiteral("header"));
    printHeaders = parser.values(QStringLiteral("print-header"));
    subscribeTo = parser.values(QStringLiteral("subscribe"));
    ipv6 = parser.isSet(QStringLiteral("ipv6"));
    refuseTransfer = parser.isSet(QStringLiteral("refuse-transfer"));
    noRinging = parser.isSet(QStringLiteral("no-ringing"));
    ignoreStdin = parser.isSet(QStringLiteral("no-stdin"));
    verbose = parser.isSet(QStringLiteral("verbose"));
    dtmfInfo = parser.value(QStringLiteral("dtmf-method")) == QLatin1String("info");

    if (transport != QLatin1String("udp") && transport != QLatin1String("tcp")) {
        *error = QStringLiteral("--transport must be udp or tcp");
        return false;
    }
    if (!presence.isEmpty() && presence != QLatin1String("online") && presence != QLatin1String("busy")
        && presence != QLatin1String("offline")) {
        *error = QStringLiteral("--presence must be online, busy or offline");
        return false;
    }
    if (port < 0 || port > 65535) {
        *error = QStringLiteral("--port out of range");
        return false;
    }
    if (domain.isEmpty() && !registrar.isEmpty()) {
        // host part of host:port, [v6]:port or a bare host
        domain = registrar;
        if (domain.startsWith(QLatin1Char('[')))
            domain = domain.left(domain.indexOf(QLatin1Char(']')) + 1);
        else if (domain.count(QLatin1Char(':')) == 1)
            domain = domain.left(domain.indexOf(QLatin1Char(':')));
    }
    if (domain.isEmpty())
        domain = bindAddress.contains(QLatin1Char(':')) ? QLatin1Char('[') + bindAddress + QLatin1Char(']')
                                                        : bindAddress;
    return true;
}
