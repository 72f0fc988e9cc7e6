#pragma once

#include <optional>

#include <QByteArray>
#include <QString>

// One line of a chat log: direction byte, field separator, local time "yyyy/MM/dd hh:mm:ss",
// field separator, body, line feed. The body's line feeds are stored as the line-feed substitute,
// so that every message is exactly one line of the file. The chat windows split lines on the
// same bytes.
namespace ChatLine {

inline constexpr char ReceivedMarker = '\x0F';
inline constexpr char SentMarker = '\x0E';
inline constexpr char FieldSeparator = '\x1F';
inline constexpr char LineFeedMark = '\x0C';

// Format of the time field.
inline constexpr const char *TimeFormat = "yyyy/MM/dd hh:mm:ss";

enum class Direction
{
    Received,
    Sent
};

struct Entry
{
    Direction direction = Direction::Received;
    QString time; // empty for lines of older logs that have no time field
    QString body; // with its line feeds
};

// The text as it can be kept on one line: CR LF and lone CR become line feeds, and the bytes the
// format reserves (markers, separator, line-feed substitute) as well as every other control
// character except tab and line feed are shown by their visible symbol (U+2400 + code, U+2421
// for DEL). A body that came with them keeps its place and its visible text; it cannot split a
// line or a field.
QString displayableBody(const QString &text);

// The complete line, line feed included, UTF-8.
QByteArray encode(Direction direction, const QString &time, const QString &body);

// A line of a log without its line feed. Lines with fewer than two fields are not messages
// (nullopt). With three or more fields: time = field 1, body = field 2; with two: no time,
// body = field 1. A first field equal to the sent marker makes a sent message, anything else a
// received one. Bytes that are not UTF-8 read as replacement characters.
std::optional<Entry> decode(const QByteArray &line);

} // namespace ChatLine
