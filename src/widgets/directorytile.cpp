#include "widgets/directorytile.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>

namespace {
constexpr int Margin = 5;
constexpr int Spacing = 2;
constexpr Qt::Alignment TextAlignment = Qt::AlignLeft | Qt::AlignTop;
} // namespace

DirectoryTile::DirectoryTile(QWidget *parent)
    : ClickableLabel(parent)
{ }

DirectoryTile::~DirectoryTile() = default;

bool DirectoryTile::setName(const QString &text)
{
    if (text == m_name)
        return false;
    m_name = text;
    placePhoneLabel();
    update();
    return true;
}

bool DirectoryTile::setStatus(const QString &text)
{
    if (text == m_status)
        return false;
    m_status = text;
    update(statusBox());
    return true;
}

void DirectoryTile::setPhoneLabel(QLabel *phone)
{
    m_phone = phone;
    placePhoneLabel();
}

int DirectoryTile::textHeight(const QString &text) const
{
    // An empty line keeps the height of one, as an empty label does.
    const QFontMetrics metrics = fontMetrics();
    if (text.isEmpty())
        return metrics.height();
    return metrics.boundingRect(QRect(0, 0, 2000, 2000), TextAlignment, text).height();
}

QRect DirectoryTile::nameBox() const
{
    const QRect inside = contentsRect();
    return {inside.left() + Margin, inside.top() + Margin, inside.width() - Margin, textHeight(m_name)};
}

QRect DirectoryTile::phoneBox() const
{
    const QRect name = nameBox();
    const int height = m_phone ? m_phone->sizeHint().height() : textHeight(QString());
    return {name.left(), name.bottom() + 1 + Spacing, name.width(), height};
}

QRect DirectoryTile::statusBox() const
{
    const QRect phone = phoneBox();
    const QRect inside = contentsRect();
    return {phone.left(), phone.bottom() + 1 + Spacing, phone.width(),
        qMax(textHeight(m_status), inside.bottom() - phone.bottom() - Spacing)};
}

void DirectoryTile::placePhoneLabel()
{
    if (m_phone)
        m_phone->setGeometry(phoneBox());
}

void DirectoryTile::paintEvent(QPaintEvent *event)
{
    // The frame (the label has no text of its own), then the two texts in the text colour.
    ClickableLabel::paintEvent(event);
    QPainter painter(this);
    painter.setClipRect(contentsRect());
    QStyle *look = style();
    for (const auto &[box, text] : {std::pair {nameBox(), &m_name}, std::pair {statusBox(), &m_status}}) {
        if (!text->isEmpty())
            look->drawItemText(
                &painter, box, int(TextAlignment), palette(), isEnabled(), *text, QPalette::WindowText);
    }
}

void DirectoryTile::changeEvent(QEvent *event)
{
    ClickableLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        placePhoneLabel();
}
