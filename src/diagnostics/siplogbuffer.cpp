#include "diagnostics/siplogbuffer.h"

#include <algorithm>

void SipLogBuffer::setLimit(int lines)
{
    m_limit = std::clamp(lines, 0, MaxLimit);
    trim();
}

bool SipLogBuffer::append(const QString &entry)
{
    if (!m_capturing)
        return false;
    if (m_limit == 0)
        return true; // shown and pushed out at once
    // Only the newest `limit` lines of an entry can survive; skip splitting the rest.
    QStringView text(entry);
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    qsizetype start = 0;
    qsizetype lineEnd = text.size(); // the line feed (or the end) closing the line looked at
    for (int found = 0; found < m_limit; ++found) {
        const qsizetype feed = lineEnd > 0 ? text.lastIndexOf(QLatin1Char('\n'), lineEnd - 1) : -1;
        if (feed < 0) {
            start = 0;
            break;
        }
        start = feed + 1;
        lineEnd = feed;
    }
    for (qsizetype pos = start; pos <= text.size();) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), pos);
        if (end < 0)
            end = text.size();
        m_lines.push_back(sanitizeLine(text.mid(pos, end - pos)));
        ++m_new;
        pos = end + 1;
    }
    trim();
    return true;
}

QStringList SipLogBuffer::lines() const
{
    return QStringList(m_lines.begin(), m_lines.end());
}

QStringList SipLogBuffer::takeNew()
{
    QStringList fresh(m_lines.end() - m_new, m_lines.end());
    m_new = 0;
    return fresh;
}

void SipLogBuffer::clear()
{
    m_lines.clear();
    m_new = 0;
}

void SipLogBuffer::trim()
{
    while (m_lines.size() > size_t(m_limit))
        m_lines.pop_front();
    m_new = std::min<qsizetype>(m_new, qsizetype(m_lines.size()));
}

QString SipLogBuffer::sanitizeLine(QStringView line)
{
    if (line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    const qsizetype cut = line.size() > MaxLineLength ? line.size() - MaxLineLength : 0;
    QString out = line.left(MaxLineLength).toString();
    for (QChar &c : out) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\t') || u == 0x7f || (u >= 0x80 && u < 0xa0))
            c = QChar::ReplacementCharacter;
    }
    // A surrogate half left alone at the cut is not a character.
    if (!out.isEmpty() && out.back().isHighSurrogate())
        out.back() = QChar::ReplacementCharacter;
    if (cut > 0)
        out += QStringLiteral(" [... %1 more characters]").arg(cut);
    return out;
}
