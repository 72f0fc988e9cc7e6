#include "cloudui/deviceselectwindow.h"

#include <algorithm>

#include <QPushButton>

#include "ui_deviceselectwindow.h"

DeviceSelectWindow::DeviceSelectWindow(const std::vector<QString> &items, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::DeviceSelectWindow>())
    , m_count(int(items.size()))
{
    ui->setupUi(this);
    QStringList rows;
    rows.reserve(m_count);
    for (const QString &item : items)
        rows.append(item);
    ui->list_devices->addItems(rows);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, [this] {
        m_outcome = Outcome::Chosen;
        accept();
    });
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, [this] {
        m_outcome = Outcome::Cancelled;
        reject();
    });
}

DeviceSelectWindow::~DeviceSelectWindow() = default;

QList<int> DeviceSelectWindow::selectedRows() const
{
    QList<int> rows;
    if (m_outcome != Outcome::Chosen)
        return rows;
    const QModelIndexList selected = ui->list_devices->selectionModel()->selectedIndexes();
    rows.reserve(selected.size());
    for (const QModelIndex &index : selected)
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

quint32 DeviceSelectWindow::mask() const
{
    quint32 bits = 0;
    for (int row : selectedRows()) {
        if (row < MaskRows)
            bits |= quint32(1) << row;
    }
    return bits;
}
