#pragma once

#include <deque>

#include <QString>
#include <QStringList>

// What the SIP log window shows: the stack's log lines while capturing, as the last `limit` text
// lines. An entry may hold many lines (a whole SIP message); each becomes its own line. Entries
// arrive faster than a window can draw them (thousands a second when calls come in a burst), so
// the window takes what is new now and then: lines pushed out by the limit before it took them are
// never drawn at all.
//
// Hostile entries are made fit to show: control characters (binary bodies) become U+FFFD, a
// carriage return before a line feed is dropped, and a line longer than MaxLineLength is cut with a
// note of how much was left out.
class SipLogBuffer final
{
public:
    static constexpr int DefaultLimit = 200;
    static constexpr int MaxLimit = 1000;
    static constexpr qsizetype MaxLineLength = 4096;

    bool capturing() const { return m_capturing; }

    // Lines that arrive while not capturing are dropped, not kept for later.
    void setCapturing(bool on) { m_capturing = on; }

    int limit() const { return m_limit; }

    // Clamped to 0..MaxLimit; a lower limit drops the oldest lines at once.
    void setLimit(int lines);

    // Adds an entry's lines when capturing; false when it was dropped.
    bool append(const QString &entry);

    // Every line kept, oldest first.
    QStringList lines() const;

    qsizetype lineCount() const { return qsizetype(m_lines.size()); }

    bool isEmpty() const { return m_lines.empty(); }

    // The lines added since the last call that are still kept, oldest first.
    QStringList takeNew();

    bool hasNew() const { return m_new > 0; }

    void clear();

    // One line as the window shows it (control characters replaced, length cut).
    static QString sanitizeLine(QStringView line);

private:
    void trim();

    std::deque<QString> m_lines;
    // How many of the newest lines the window has not taken yet (never more than m_lines holds).
    qsizetype m_new = 0;
    int m_limit = DefaultLimit;
    bool m_capturing = false;
};
