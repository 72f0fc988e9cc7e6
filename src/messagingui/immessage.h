#pragma once

#include <QFrame>

class QLabel;

// One chat bubble: the text (line feeds as line breaks, shown as plain text) and its time below.
class IMMessage final : public QFrame
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(IMMessage)

public:
    // Longest text a bubble shows; the rest of a longer message stays in the chat log.
    static constexpr qsizetype MaxShown = 20000;

    IMMessage(const QString &text, const QString &time, QWidget *parent = nullptr);
    ~IMMessage() override;

    QString text() const;
    QString time() const;

private:
    QLabel *m_text = nullptr;
    QLabel *m_time = nullptr;
};
