#include "widgets/clickablelabelwidgetitem.h"

#include <QListWidget>

#include "widgets/clickablelabel.h"

ClickableLabelWidgetItem::ClickableLabelWidgetItem(ClickableLabel *label, QListWidget *list)
    : QListWidgetItem(list)
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

int ClickableLabelWidgetItem::currentRow() const
{
    QListWidget *list = listWidget();
    return list ? list->row(this) : -1;
}
