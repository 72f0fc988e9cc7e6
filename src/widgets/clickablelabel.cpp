#include "widgets/clickablelabel.h"

#include <QDataStream>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>

#include "widgets/orphanguard.h"

const QString ClickableLabel::MimeType = QStringLiteral("application/x-clickablelabel");

ClickableLabel::ClickableLabel(QWidget *parent)
    : QLabel(parent ? parent : orphanGuard())
{
    setAcceptDrops(true);
}

ClickableLabel::~ClickableLabel() = default;

void ClickableLabel::Delete(ClickableLabel *label)
{
    if (label)
        label->markForDeletion();
}

void ClickableLabel::markForDeletion()
{
    m_markedForDeletion = true;
    if (!m_drag)
        delete this;
}

QMimeData *ClickableLabel::mimeDataFor(const ClickableLabel *label)
{
    QByteArray payload;
    QDataStream stream(&payload, QIODevice::WriteOnly);
    stream << label;
    auto *data = new QMimeData;
    data->setData(MimeType, payload);
    return data;
}

const ClickableLabel *ClickableLabel::sourceOf(const QMimeData *data)
{
    if (!data || !data->hasFormat(MimeType))
        return nullptr;
    QByteArray payload = data->data(MimeType);
    QDataStream stream(&payload, QIODevice::ReadOnly);
    const ClickableLabel *label = nullptr;
    stream >> label;
    return stream.status() == QDataStream::Ok ? label : nullptr;
}

void ClickableLabel::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::RightButton)
        m_pressed = true;
    QLabel::mousePressEvent(event);
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_pressed && event->button() != Qt::RightButton) {
        m_pressed = false;
        click();
    }
    QLabel::mouseReleaseEvent(event);
}

void ClickableLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    emit doubleClicked();
    QLabel::mouseDoubleClickEvent(event);
}

void ClickableLabel::mouseMoveEvent(QMouseEvent *event)
{
    const bool leftOrMiddle = (event->buttons() & ~Qt::RightButton) != Qt::NoButton;
    if (!leftOrMiddle || !m_draggable || !m_pressed || m_drag) {
        QLabel::mouseMoveEvent(event);
        return;
    }
    m_drag = new QDrag(this);
    m_drag->setMimeData(mimeDataFor(this));
    m_drag->setHotSpot(event->position().toPoint() - pos());
    m_drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
    // No click follows a drag.
    m_pressed = false;
    delete m_drag;
    m_drag = nullptr;
    if (m_markedForDeletion)
        delete this;
}

void ClickableLabel::dragEnterEvent(QDragEnterEvent *event)
{
    if (!event->mimeData()->hasFormat(MimeType)) {
        event->ignore();
        return;
    }
    if (event->source() == this) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->acceptProposedAction();
    }
}

void ClickableLabel::dropEvent(QDropEvent *event)
{
    emit onDrop(event, this);
}

QDataStream &operator<<(QDataStream &stream, const ClickableLabel *label)
{
    return stream << quint64(reinterpret_cast<quintptr>(label));
}

QDataStream &operator>>(QDataStream &stream, const ClickableLabel *&label)
{
    quint64 address = 0;
    stream >> address;
    label = reinterpret_cast<const ClickableLabel *>(quintptr(address));
    return stream;
}
