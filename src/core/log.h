#pragma once

#include <memory>
#include <mutex>

#include <QString>
#include <QtGlobal>

// The application log: one line per event, "[dd-MMM-yyyy HH:mm:ss][file:line] text", appended to the
// file set with set_output_file(). The file stays open between lines and every line is handed to
// the system as one write (nothing is kept in a buffer of ours, so a crash loses no written line);
// it is rotated into five numbered predecessors once it reaches the size limit, and reopened on the
// next line. Lines also go to the debug output while there is no file to take them, and always when
// the environment variable ORVALO_LOG_STDERR is set to a non-empty value.
class Log final
{
public:
    static constexpr qint64 DefaultRotateSize = 52428800; // 50 MiB
    static constexpr int KeptFiles = 5;

    ~Log();

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
    void closeLocked();
    bool openLocked();

    QString m_path;
    int m_fd = -1; // the open output file, -1 when closed
    qint64 m_rotateSize = DefaultRotateSize;
};

// Log with the calling file and line.
#define LOG(text) Log::write_log(QStringLiteral(__FILE__), __LINE__, (text))
#define LOG_T(text) Log::write_log_t(QStringLiteral(__FILE__), __LINE__, (text))
