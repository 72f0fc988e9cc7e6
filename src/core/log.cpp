#include "core/log.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QtDebug>
#include <QTextStream>

std::unique_ptr<Log> Log::log_instance;

namespace {
// Serialises every write and rotation; any thread may log.
std::mutex log_lock;

// Lines go to the debug output only when asked for: the SIP stack alone logs some 85 lines a call.
bool echoRequested()
{
    static const bool echo = !qEnvironmentVariableIsEmpty("ORVALO_LOG_STDERR");
    return echo;
}
} // namespace

Log::~Log()
{
    closeLocked();
}

Log &Log::get_instance()
{
    static std::once_flag once;
    std::call_once(once, [] { log_instance.reset(new Log); });
    return *log_instance;
}

void Log::set_output_file(const QString &path)
{
    std::lock_guard guard(log_lock);
    Log &log = get_instance();
    if (log.m_path == path)
        return;
    log.closeLocked();
    log.m_path = path;
}

QString Log::output_file()
{
    std::lock_guard guard(log_lock);
    return get_instance().m_path;
}

void Log::set_rotate_size(qint64 bytes)
{
    std::lock_guard guard(log_lock);
    get_instance().m_rotateSize = bytes;
}

QString Log::format_line(const QString &file, int line, const QString &text)
{
    // English month abbreviations whatever the system locale is. The stamp changes once a second;
    // each thread works it out again only then (QDateTime would look at the time zone file for
    // every line).
    static constexpr const char *months[]
        = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    thread_local std::time_t stampSecond = -1;
    thread_local QString stamp;
    const std::time_t second = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    if (second != stampSecond) {
        std::tm local {};
        localtime_r(&second, &local);
        char formatted[32];
        const int length
            = std::snprintf(formatted, sizeof formatted, "%02d-%s-%04d %02d:%02d:%02d", local.tm_mday,
                months[local.tm_mon % 12], local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
        stamp = QString::fromLatin1(formatted, length);
        stampSecond = second;
    }
    QString out;
    out.reserve(stamp.size() + file.size() + text.size() + 16);
    out.append(QLatin1Char('[')).append(stamp).append(QLatin1String("][")).append(file);
    out.append(QLatin1Char(':')).append(QString::number(line)).append(QLatin1String("] ")).append(text);
    return out;
}

void Log::write_log(const QString &file, int line, const QString &text)
{
    write_log_r(format_line(file, line, text));
}

void Log::write_log_t(const QString &file, int line, const QString &text)
{
    using clock = std::chrono::steady_clock;
    static std::optional<clock::time_point> lastCallTime;
    const auto now = clock::now();
    if (!lastCallTime)
        lastCallTime = now;
    const double elapsed = std::chrono::duration<double>(now - *lastCallTime).count();
    lastCallTime = now;

    QString message;
    QTextStream stream(&message);
    stream << elapsed << ' ' << text;
    stream.flush();
    write_log(file, line, message);
}

void Log::write_log_r(const QString &line)
{
    std::lock_guard guard(log_lock);
    Log &log = get_instance();
    const bool echo = echoRequested();
    if (echo)
        qDebug().noquote() << line;
    if (log.m_path.isEmpty() || !log.openLocked()) {
        if (!echo)
            qDebug().noquote() << line; // no file takes it: the debug output keeps it
        return;
    }
    QByteArray bytes = line.toUtf8();
    bytes.append('\n');
    // One write per line: lines of several threads never interleave, and another process reading
    // the file sees whole lines.
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(log.m_fd, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            break;
        data += written;
        left -= written;
    }

    struct stat st
    { };

    if (::fstat(log.m_fd, &st) == 0 && st.st_size >= log.m_rotateSize)
        log.rotateLocked();
}

bool Log::openLocked()
{
    if (m_fd >= 0)
        return true;
    m_fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    return m_fd >= 0;
}

void Log::closeLocked()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void Log::rotate()
{
    std::lock_guard guard(log_lock);
    get_instance().rotateLocked();
}

void Log::rotateLocked()
{
    if (m_path.isEmpty())
        return;
    closeLocked(); // the next line opens a fresh file under the same name
    const auto numbered = [this](int n) { return QStringLiteral("%1.%2").arg(m_path).arg(n); };
    QFile::remove(numbered(KeptFiles));
    for (int n = KeptFiles; n >= 2; --n) {
        if (QFile::exists(numbered(n - 1)))
            QFile::rename(numbered(n - 1), numbered(n));
    }
    QFile::rename(m_path, numbered(1));
}
