#include "widgets/dropdowngroupbox.h"

#include <QChildEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QStyleOptionGroupBox>

#include "widgets/dropdowngroupboxstyle.h"

DropdownGroupbox::DropdownGroupbox(QWidget *parent)
    : QGroupBox(parent)
{
    setStyle(new DropdownGroupboxStyle(style()->name()));
    style()->setParent(this);
    connect(this, &QGroupBox::clicked, this, &DropdownGroupbox::toggleContentsVisibility);
    toggleContentsVisibility(isChecked());
    setMouseTracking(true);
}

void DropdownGroupbox::toggleContentsVisibility(bool checked)
{
    for (QObject *child : children()) {
        if (auto *widget = qobject_cast<QWidget *>(child); widget && widget->parentWidget() == this)
            widget->setVisible(checked);
    }
}

void DropdownGroupbox::childEvent(QChildEvent *event)
{
    if (event->added()) {
        // The child is still being constructed here: apply the state once it is complete.
        if (event->child()->isWidgetType()) {
            QPointer<QWidget> widget = static_cast<QWidget *>(event->child());
            QMetaObject::invokeMethod(
                this,
                [this, widget] {
                    if (widget && widget->parentWidget() == this)
                        widget->setVisible(isChecked());
                },
                Qt::QueuedConnection);
        }
        return;
    }
    QGroupBox::childEvent(event);
}

void DropdownGroupbox::mouseMoveEvent(QMouseEvent *event)
{
    QStyleOptionGroupBox option;
    initStyleOption(&option);
    const QStyle::SubControl hit
        = style()->hitTestComplexControl(QStyle::CC_GroupBox, &option, event->position().toPoint(), this);
    setCursor(hit == QStyle::SC_GroupBoxCheckBox ? Qt::PointingHandCursor : Qt::ArrowCursor);
    QGroupBox::mouseMoveEvent(event);
}
