#pragma once

#include <QListWidgetItem>
#include <QObject>
#include <QPointer>

class ClickableLabel;
class QListWidget;

// A list row showing a ClickableLabel: forwards the label's clicks with the row the item
// currently has (nothing when the item is in no list).
class ClickableLabelWidgetItem final : public QObject, public QListWidgetItem
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ClickableLabelWidgetItem)

public:
    ClickableLabelWidgetItem(ClickableLabel *label, QListWidget *list);
    ~ClickableLabelWidgetItem() override;

    // The row reads as its label's accessible name to assistive technology (the row itself has
    // no text: the label is drawn over it).
    QVariant data(int role) const override;

signals:
    void clicked(int row);
    void doubleClicked(int row);

private:
    int currentRow() const;

    QPointer<ClickableLabel> m_label;
};
