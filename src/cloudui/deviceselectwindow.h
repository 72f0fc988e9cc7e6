#pragma once

#include <memory>
#include <vector>

#include <QDialog>
#include <QList>

namespace Ui {
class DeviceSelectWindow;
}

// Asks which of the offered devices to provision: one row per device, any number selected. The
// selection is read as rows (any count) or, for up to 32 rows, as the mask with bit i for row i.
class DeviceSelectWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DeviceSelectWindow)

public:
    enum class Outcome
    {
        Chosen, // OK: the selected rows (maybe none)
        Cancelled, // Cancel: no device at all, the login goes on without them
        Closed // closed another way: as OK with nothing selected
    };

    // The most rows the mask can tell apart.
    static constexpr int MaskRows = 32;

    DeviceSelectWindow(const std::vector<QString> &items, QWidget *parent = nullptr);
    ~DeviceSelectWindow() override;

    int count() const { return m_count; }

    Outcome outcome() const { return m_outcome; }

    // The selected rows, ascending; empty unless the outcome is Chosen.
    QList<int> selectedRows() const;
    // Bit i set when row i of the first MaskRows rows is selected.
    quint32 mask() const;

private:
    std::unique_ptr<Ui::DeviceSelectWindow> ui;
    int m_count = 0;
    Outcome m_outcome = Outcome::Closed;
};
