#pragma once

#include <memory>
#include <mutex>

#include <QString>
#include <QtGlobal>

// The application log: one line per event, "[dd-MMM-yyyy HH:mm:ss][file:line] text", echoed to the
// debug output and appended to the file set with set_output_file(). The file is opened and closed
// for every line, and rotated into five numbered predecessors once it reaches the size limit.
class Log final
{
public:
    static constexpr qint64 DefaultRotateSize = 52428800; // 50 MiB
    static constexpr int KeptFiles = 5;

    static Log &get_instance();

    static void set_output_file(const QString &path);
    static QString output_file();

    static void write_log(const QString &file, int line, const QString &text);
    static void write_log_t(const QString &file, int line, const QString &text);
    static void write_log_r(const QString &line);
    static void rotate();

    // The size at which the file is rotated; tests lower it, the product keeps the default.
    static void set_rotate_size(qint64 bytes);

    static QString format_line(const QString &file, int line, const QString &text);

    static std::unique_ptr<Log> log_instance;

private:
    Log() = default;
    void rotateLocked();

    QString m_path;
    qint64 m_rotateSize = DefaultRotateSize;
};

// Log with the calling file and line.
#define LOG(text) Log::write_log(QStringLiteral(__FILE__), __LINE__, (text))
#define LOG_T(text) Log::write_log_t(QStringLiteral(__FILE__), __LINE__, (text))
