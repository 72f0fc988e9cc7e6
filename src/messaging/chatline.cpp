#include "messaging/chatline.h"

#include <QList>

namespace ChatLine {

namespace {

bool reserved(char16_t c)
{
    return (c < 0x20 && c != u'\t' && c != u'\n') || c == 0x7F;
}

QChar symbolFor(char16_t c)
{
    return c == 0x7F ? QChar(0x2421) : QChar(char16_t(0x2400 + c));
}

} // namespace

QString displayableBody(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == u'\r') {
            out += QLatin1Char('\n');
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
        } else if (reserved(c)) {
            out += symbolFor(c);
        } else {
            out += QChar(c);
        }
    }
    return out;
}

QByteArray encode(Direction direction, const QString &time, const QString &body)
{
    QByteArray line;
    const QByteArray text = displayableBody(body).toUtf8();
    line.reserve(text.size() + 24);
    line += direction == Direction::Sent ? SentMarker : ReceivedMarker;
    line += FieldSeparator;
    line += displayableBody(time).remove(QLatin1Char('\n')).toUtf8();
    line += FieldSeparator;
    for (char c : text)
        line += c == '\n' ? LineFeedMark : c;
    line += '\n';
    return line;
}

std::optional<Entry> decode(const QByteArray &line)
{
    QByteArray bytes = line;
    if (bytes.endsWith('\n'))
        bytes.chop(1);
    const QList<QByteArray> fields = bytes.split(FieldSeparator);
    if (fields.size() < 2)
        return std::nullopt;
    Entry entry;
    entry.direction = fields.at(0) == QByteArray(1, SentMarker) ? Direction::Sent : Direction::Received;
    QByteArray body;
    if (fields.size() >= 3) {
        entry.time = QString::fromUtf8(fields.at(1));
        body = fields.at(2);
    } else {
        body = fields.at(1);
    }
    body.replace(LineFeedMark, '\n');
    entry.body = QString::fromUtf8(body);
    return entry;
}

} // namespace ChatLine
