#pragma once

#include <QPointer>

#include "panel/transferwindows.h"
#include "transferui/transferdialog.h"

class Orvalo;

// The transfer window of the main window: one at a time, each new transfer in a new window.
class TransferManager final : public TransferWindows
{
public:
    explicit TransferManager(Orvalo &window);
    ~TransferManager() override;

    void open(int accountIndex, bool warm, const QString &number) override;
    void transfer() override;
    void setWarmTransferStatus(bool inProgress) override;
    void setTransferButtonState(bool enabled) override;
    void setStateText(const QString &text) override;
    void raise() override;
    void close() override;
    bool isOpen() const override;

    // The open window (tests drive it like a person would).
    Transferdialog *dialog() const { return m_dialog; }

private:
    Orvalo &m_window;
    QPointer<Transferdialog> m_dialog;
};
