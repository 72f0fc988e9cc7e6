#include "eventline.h"

#include <cstdio>

namespace {

FILE *eventStream = stdout;

bool needsQuotes(const QByteArray &value)
{
    if (value.isEmpty())
        return true;
    for (char c : value) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7f || c == '"' || c == '\\')
            return true;
    }
    return false;
}

} // namespace

EventLine::EventLine(const char *kind)
    : m_text(QByteArray("EVENT ") + kind)
{ }

EventLine &EventLine::add(const char *key, const QString &value)
{
    m_text += ' ';
    m_text += key;
    m_text += '=';
    m_text += quote(value.toUtf8());
    return *this;
}

EventLine &EventLine::add(const char *key, const char *value)
{
    return add(key, QString::fromUtf8(value ? value : ""));
}

EventLine &EventLine::add(const char *key, qint64 value)
{
    return add(key, QString::number(value));
}

void EventLine::emitLine() const
{
    std::fwrite(m_text.constData(), 1, size_t(m_text.size()), eventStream);
    std::fputc('\n', eventStream);
    std::fflush(eventStream);
}

void EventLine::setStream(FILE *stream)
{
    eventStream = stream;
}

QByteArray EventLine::quote(const QByteArray &value)
{
    if (!needsQuotes(value))
        return value;
    QByteArray out("\"");
    for (char c : value) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (u < 0x20 || u == 0x7f) {
                char hex[5];
                std::snprintf(hex, sizeof hex, "\\x%02x", u);
                out += hex;
            } else {
                out += c;
            }
        }
    }
    out += '"';
    return out;
}
