#include "core/log.h"

#include <chrono>
#include <optional>

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QtDebug>
#include <QTextStream>

std::unique_ptr<Log> Log::log_instance;

namespace {
// Serialises every write and rotation; any thread may log.
std::mutex log_lock;
} // namespace

Log &Log::get_instance()
{
    static std::once_flag once;
    std::call_once(once, [] { log_instance.reset(new Log); });
    return *log_instance;
}

void Log::set_output_file(const QString &path)
{
    std::lock_guard guard(log_lock);
    get_instance().m_path = path;
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
    // English month abbreviations whatever the system locale is.
    const QString stamp
        = QLocale::c().toString(QDateTime::currentDateTime(), QStringLiteral("dd-MMM-yyyy HH:mm:ss"));
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
    qDebug().noquote() << line;
    Log &log = get_instance();
    if (log.m_path.isEmpty())
        return;
    QFile file(log.m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return; // the debug output still has the line
    file.write(line.toUtf8());
    file.write("\n");
    file.close();
    if (file.size() >= log.m_rotateSize)
        log.rotateLocked();
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
    const auto numbered = [this](int n) { return QStringLiteral("%1.%2").arg(m_path).arg(n); };
    QFile::remove(numbered(KeptFiles));
    for (int n = KeptFiles; n >= 2; --n) {
        if (QFile::exists(numbered(n - 1)))
            QFile::rename(numbered(n - 1), numbered(n));
    }
    QFile::rename(m_path, numbered(1));
}
