// SipDialer: the stack's log lines. Each line goes to the application log (secrets masked) and to
// the SIP log window; the INVITEs and MESSAGEs the stack received are kept from them.

#include <chrono>
#include <cstdio>
#include <ctime>

#include <QRegularExpression>

#include <linphone/logging.h>

#include "core/log.h"
#include "engine/sipdialer_p.h"

namespace {

QLatin1StringView levelName(LinphoneLogLevel level)
{
    switch (level) {
    case LinphoneLogLevelDebug:
        return QLatin1StringView("debug");
    case LinphoneLogLevelTrace:
        return QLatin1StringView("trace");
    case LinphoneLogLevelMessage:
        return QLatin1StringView("message");
    case LinphoneLogLevelWarning:
        return QLatin1StringView("warning");
    case LinphoneLogLevelError:
        return QLatin1StringView("error");
    case LinphoneLogLevelFatal:
        return QLatin1StringView("fatal");
    }
    return {};
}

// "HH:mm:ss.zzz" of the local time now. The stack logs some hundred lines a call, many within the
// same second: the local hours, minutes and seconds are worked out again only when the second
// changes (QDateTime would look at the time zone file for every line).
QString logStamp()
{
    thread_local std::time_t stampSecond = -1;
    thread_local char seconds[16] = {};
    const auto now = std::chrono::system_clock::now();
    const auto msecs = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    const std::time_t second = std::time_t(msecs / 1000);
    if (second != stampSecond) {
        std::tm local {};
        localtime_r(&second, &local);
        std::strftime(seconds, sizeof seconds, "%H:%M:%S", &local);
        stampSecond = second;
    }
    char stamp[24];
    const int length = std::snprintf(stamp, sizeof stamp, "%s.%03d", seconds, int(msecs % 1000));
    return QString::fromLatin1(stamp, length);
}

} // namespace

void cb_log_message_written(
    LinphoneLoggingService *service, const char *domain, LinphoneLogLevel level, const char *message)
{
    LinphoneLoggingServiceCbs *cbs = linphone_logging_service_get_current_callbacks(service);
    if (auto *d
        = cbs ? static_cast<SipDialer::Private *>(linphone_logging_service_cbs_get_user_data(cbs)) : nullptr)
        d->logLine(domain, level, message);
}

void SipDialer::Private::installLogging()
{
    // Library log lines must reach us on the iterating thread.
    linphone_core_serialize_logs();
    LinphoneLoggingService *service = linphone_logging_service_get();
    logCbs = LinphoneHandle<LinphoneLoggingServiceCbs>::adopt(
        linphone_factory_create_logging_service_cbs(linphone_factory_get()));
    linphone_logging_service_cbs_set_log_message_written(logCbs.get(), cb_log_message_written);
    linphone_logging_service_cbs_set_user_data(logCbs.get(), this);
    linphone_logging_service_add_callbacks(service, logCbs.get());
    linphone_logging_service_set_log_level(service, LinphoneLogLevelMessage);
}

QString SipDialer::Private::maskSecrets(QString line) const
{
    for (const QString &secret : secrets) {
        if (line.contains(secret))
            line.replace(secret, QStringLiteral("********"));
    }
    return line;
}

void SipDialer::Private::logLine(const char *domain, LinphoneLogLevel level, const char *message)
{
    const QString text = QString::fromUtf8(message);
    const QString line = logStamp() + QLatin1Char(' ') + QLatin1StringView(domain ? domain : "")
        + QLatin1Char(' ') + levelName(level) + QLatin1Char(' ') + maskSecrets(text);
    Log::write_log_r(line);
    emit q.log(line);
    if (text.contains(QLatin1String("INVITE sip")))
        rememberInvite(text);
    if (text.contains(QLatin1String("MESSAGE sip")))
        rememberMessage(text);
}

// The stack logs every SIP message it receives; the engine keeps the last INVITEs so that an
// incoming call can be read header by header, as received.
void SipDialer::Private::rememberInvite(const QString &text)
{
    static const QRegularExpression start(QStringLiteral("(^|\\n)INVITE sip"));
    static const QRegularExpression callIdLine(
        QStringLiteral("(?:^|\\r\\n)(?:Call-ID|i)\\s*:\\s*([^\\r\\n]+)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch begin = start.match(text);
    if (!begin.hasMatch() || !text.contains(QLatin1String("received"), Qt::CaseInsensitive))
        return;
    const QString invite = text.mid(begin.capturedStart() + begin.captured(1).size());
    const QRegularExpressionMatch callId = callIdLine.match(invite);
    if (!callId.hasMatch())
        return;
    recentInvites.append({callId.captured(1).trimmed(), invite});
    while (recentInvites.size() > 64)
        recentInvites.removeFirst();
}
