#include "widgets/clickablelabelwidgetitem.h"

#include <QListWidget>

#include "widgets/clickablelabel.h"

ClickableLabelWidgetItem::ClickableLabelWidgetItem(ClickableLabel *label, QListWidget *list)
    : QListWidgetItem(list)
    , m_label(label)
{
    list->setItemWidget(this, label);
    connect(label, &ClickableLabel::clicked, this, [this] {
        if (const int row = currentRow(); row >= 0)
            emit clicked(row);
    });
    connect(label, &ClickableLabel::doubleClicked, this, [this] {
        if (const int row = currentRow(); row >= 0)
            emit doubleClicked(row);
    });
}

ClickableLabelWidgetItem::~ClickableLabelWidgetItem() = default;

QVariant ClickableLabelWidgetItem::data(int role) const
{
    if (role == Qt::AccessibleTextRole && m_label)
        return m_label->accessibleName();
    return QListWidgetItem::data(role);
}

int ClickableLabelWidgetItem::currentRow() const
{
    QListWidget *list = listWidget();
    return list ? list->row(this) : -1;
}
