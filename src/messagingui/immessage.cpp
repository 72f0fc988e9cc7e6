#include "messagingui/immessage.h"

#include <QLabel>
#include <QVBoxLayout>

IMMessage::IMMessage(const QString &text, const QString &time, QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("message"));
    setStyleSheet(QStringLiteral("#message{border: 1px solid black; border-radius: 5px;}"));
    auto *layout = new QVBoxLayout(this);
    QString shown = text.left(MaxShown);
    if (text.size() > MaxShown)
        shown += QStringLiteral("\n[... %1 more characters]").arg(text.size() - MaxShown);
    // Shown as text, never as markup from the far end; line feeds become line breaks.
    m_text = new QLabel(shown.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br/>")), this);
    m_text->setObjectName(QStringLiteral("text"));
    m_text->setTextFormat(Qt::RichText);
    m_text->setWordWrap(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_time = new QLabel(time.isEmpty() ? QStringLiteral("--/--/---- --:--:--") : time, this);
    m_time->setObjectName(QStringLiteral("datetime"));
    QFont small = m_time->font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    m_time->setFont(small);
    layout->addWidget(m_text);
    layout->addWidget(m_time);
}

IMMessage::~IMMessage() = default;

QString IMMessage::text() const
{
    return m_text->text();
}

QString IMMessage::time() const
{
    return m_time->text();
}
