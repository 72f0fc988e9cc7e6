#pragma once

#include <QLabel>
#include <QPointer>

class QDrag;
class QMimeData;

// The label used for extensions, calls and directory entries: clickable, draggable onto another
// label and a drop target itself. The drag payload ("application/x-clickablelabel") is the address
// of the source label, so it only means something inside the running process; a receiver looks
// the address up among its own labels and ignores one it does not know.
class ClickableLabel : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ClickableLabel)

public:
    static const QString MimeType;

    // Without a parent the label lives under orphanGuard(), so it never becomes a window.
    explicit ClickableLabel(QWidget *parent = nullptr);
    ~ClickableLabel() override;

    // Deletes the label now, or when its own drag ends if one is still running (the drag runs a
    // nested event loop, during which the call it shows may end).
    static void Delete(ClickableLabel *label);
    void markForDeletion();

    void setDraggable(bool draggable) { m_draggable = draggable; }

    // Setting a style sheet polishes the label again even when the sheet is the same one; the
    // panel refreshes all labels of an extension or a call list whenever one changes, so only a
    // sheet that differs is set.
    void setStyleSheetIfChanged(const QString &sheet)
    {
        if (styleSheet() != sheet)
            setStyleSheet(sheet);
    }

    bool isDraggable() const { return m_draggable; }

    bool isDragging() const { return m_drag != nullptr; }

    // The payload of a drag started from `label`, and the label a payload names (nullptr when the
    // data has no such payload). The address is not checked: compare it with known labels.
    static QMimeData *mimeDataFor(const ClickableLabel *label);
    static const ClickableLabel *sourceOf(const QMimeData *data);

signals:
    void clicked();
    void doubleClicked();
    void onDrop(QDropEvent *event, ClickableLabel *target);

protected:
    // A press and release of the left or middle button with no drag between: emits clicked().
    virtual void click() { emit clicked(); }

    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    bool m_pressed = false;
    bool m_draggable = true;
    QDrag *m_drag = nullptr;
    bool m_markedForDeletion = false;
};

QDataStream &operator<<(QDataStream &stream, const ClickableLabel *label);
QDataStream &operator>>(QDataStream &stream, const ClickableLabel *&label);
