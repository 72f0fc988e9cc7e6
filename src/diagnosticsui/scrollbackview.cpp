#include "diagnosticsui/scrollbackview.h"

#include <QScrollBar>

ScrollbackView::ScrollbackView(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setUndoRedoEnabled(false);
    setMaximumBlockCount(m_buffer.limit());
    m_flushTimer.setSingleShot(true);
    connect(&m_flushTimer, &QTimer::timeout, this, &ScrollbackView::flush);
}

ScrollbackView::~ScrollbackView() = default;

void ScrollbackView::setFlushInterval(int ms)
{
    m_flushInterval = ms;
    m_flushTimer.setInterval(ms);
}

void ScrollbackView::setLimit(int lines)
{
    m_buffer.setLimit(lines);
    if (m_buffer.limit() == 0) {
        setMaximumBlockCount(0); // no limit to the view, which stays empty
        clear();
    } else {
        setMaximumBlockCount(m_buffer.limit()); // trims the view at once
    }
}

bool ScrollbackView::appendEntry(const QString &entry)
{
    if (!m_buffer.append(entry))
        return false;
    if (m_flushInterval <= 0)
        flush();
    else if (!m_flushTimer.isActive())
        m_flushTimer.start();
    return true;
}

void ScrollbackView::clearLines()
{
    m_buffer.clear();
    clear();
}

void ScrollbackView::flush()
{
    m_flushTimer.stop();
    const QStringList lines = m_buffer.takeNew();
    if (m_buffer.limit() == 0) {
        if (!document()->isEmpty())
            clear();
        return;
    }
    if (lines.isEmpty())
        return;
    // A batch longer than the view holds replaces it; otherwise the view's block limit pushes out
    // the oldest lines.
    if (lines.size() >= m_buffer.limit())
        setPlainText(lines.join(QLatin1Char('\n')));
    else
        appendPlainText(lines.join(QLatin1Char('\n')));
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}
