#pragma once

#include <QPlainTextEdit>
#include <QTimer>

#include "diagnostics/siplogbuffer.h"

// A read-only text view that shows the last `limit` lines of what is appended to it. Lines are
// kept in a SipLogBuffer and drawn in batches: at once, or at most every flushInterval ms when
// they may come in floods, so that thousands of lines a second cost the screen one update per
// interval.
class ScrollbackView final : public QPlainTextEdit
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScrollbackView)

public:
    explicit ScrollbackView(QWidget *parent = nullptr);
    ~ScrollbackView() override;

    // 0 draws every append at once; otherwise draws are batched.
    void setFlushInterval(int ms);
    void setLimit(int lines);
    // Adds an entry (possibly several lines); false when the buffer is not capturing.
    bool appendEntry(const QString &entry);
    void clearLines();
    // Draws what is pending now.
    void flush();

    SipLogBuffer &buffer() { return m_buffer; }

private:
    SipLogBuffer m_buffer;
    QTimer m_flushTimer;
    int m_flushInterval = 0;
};
