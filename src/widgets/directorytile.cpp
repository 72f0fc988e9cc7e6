#include "widgets/directorytile.h"

#include <QAbstractTextDocumentLayout>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QStyle>
#include <QTextDocument>
#include <QtMath>

#include "widgets/symbolfont.h"

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

bool DirectoryTile::setPhoneNumber(const QString &number)
{
    if (number == m_phoneNumber)
        return false;
    m_phoneNumber = number;
    // Moves are only followed over a number, for the pointing hand.
    setMouseTracking(!number.isEmpty());
    if (number.isEmpty())
        unsetCursor();
    measurePhoneLine();
    updateDescription();
    update();
    return true;
}

bool DirectoryTile::isOnPhoneLine(const QPoint &point) const
{
    return !m_phoneNumber.isEmpty() && phoneBox().contains(point);
}

int DirectoryTile::textHeight(const QString &text) const
{
    // An empty line keeps the height of one, as an empty label does.
    const QFontMetrics metrics = fontMetrics();
    if (text.isEmpty())
        return metrics.height();
    return metrics.boundingRect(QRect(0, 0, 2000, 2000), TextAlignment, text).height();
}

void DirectoryTile::layOutPhoneLine(QTextDocument &document, int width) const
{
    // As a label shows the markup: the tile's font, no margin, one line, the link in the
    // application's link colour and underlined (the markup's own doing).
    document.setUndoRedoEnabled(false);
    document.setDefaultFont(font());
    document.setHtml(SymbolFont::span(SymbolFont::Telephone) + QStringLiteral(" <a href='#'>")
        + m_phoneNumber.toHtmlEscaped() + QStringLiteral("</a>"));
    QTextOption option = document.defaultTextOption();
    option.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    option.setWrapMode(QTextOption::ManualWrap);
    document.setDefaultTextOption(option);
    document.setDocumentMargin(0);
    document.setTextWidth(width);
}

void DirectoryTile::measurePhoneLine()
{
    // Only the height is kept: the document is made again when the line is painted, so a tile
    // holds no text machinery.
    m_phoneLineHeight = 0;
    if (m_phoneNumber.isEmpty())
        return;
    QTextDocument document;
    layOutPhoneLine(document, -1);
    m_phoneLineHeight = qCeil(document.size().height());
}

void DirectoryTile::updateDescription()
{
    // A screen reader finds the number with the tile (whose name is the person's).
    const QString description
        = m_phoneNumber.isEmpty() ? QString() : QStringLiteral("Phone ") + m_phoneNumber;
    if (accessibleDescription() != description)
        setAccessibleDescription(description);
}

QRect DirectoryTile::nameBox() const
{
    const QRect inside = contentsRect();
    return {inside.left() + Margin, inside.top() + Margin, inside.width() - Margin, textHeight(m_name)};
}

QRect DirectoryTile::phoneBox() const
{
    const QRect name = nameBox();
    const int height = m_phoneNumber.isEmpty() ? textHeight(QString()) : m_phoneLineHeight;
    return {name.left(), name.bottom() + 1 + Spacing, name.width(), height};
}

QRect DirectoryTile::statusBox() const
{
    const QRect phone = phoneBox();
    return {phone.left(), phone.bottom() + 1 + Spacing, phone.width(),
        qMax(textHeight(m_status), contentsRect().bottom() - phone.bottom() - Spacing)};
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
    const QRect phone = phoneBox();
    if (m_phoneNumber.isEmpty() || !event->rect().intersects(phone))
        return;
    // The glyph in the text colour, the number in the link's own.
    QTextDocument document;
    layOutPhoneLine(document, phone.width());
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette = palette();
    if (isEnabled())
        context.palette.setColor(QPalette::Text, context.palette.color(QPalette::WindowText));
    painter.translate(phone.topLeft());
    painter.setClipRect(QRect(QPoint(0, 0), phone.size()), Qt::IntersectClip);
    document.documentLayout()->draw(&painter, context);
}

void DirectoryTile::changeEvent(QEvent *event)
{
    ClickableLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        measurePhoneLine();
}

void DirectoryTile::mousePressEvent(QMouseEvent *event)
{
    m_pressedOnPhone = event->button() != Qt::RightButton && isOnPhoneLine(event->position().toPoint());
    ClickableLabel::mousePressEvent(event);
}

void DirectoryTile::mouseMoveEvent(QMouseEvent *event)
{
    const bool overNumber = isOnPhoneLine(event->position().toPoint());
    if (overNumber != testAttribute(Qt::WA_SetCursor)) {
        if (overNumber)
            setCursor(Qt::PointingHandCursor);
        else
            unsetCursor();
    }
    ClickableLabel::mouseMoveEvent(event);
}

void DirectoryTile::click()
{
    // A click on the number is the number's, not the tile's.
    if (m_pressedOnPhone)
        emit phoneClicked();
    else
        emit clicked();
}
