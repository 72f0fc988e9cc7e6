#pragma once

#include <QString>

// The transfer window as the main window sees it. It lives in a higher target (transferui); the
// application hands an implementation to the main window, which opens it from the transfer
// buttons and for an attended transfer by drag and drop, and keeps it told about the attended
// transfer's progress. The window reports back through the main window's cold_transfer_call,
// warm_transfer_call and cancel_warm_transfer.
class TransferWindows
{
public:
    TransferWindows() = default;
    virtual ~TransferWindows();
    TransferWindows(const TransferWindows &) = delete;
    TransferWindows &operator=(const TransferWindows &) = delete;

    // Opens a new transfer window for the extension at accountIndex (it replaces an earlier one,
    // whose attended transfer is cancelled) and shows it; a non-empty number is filled in.
    virtual void open(int accountIndex, bool warm, const QString &number) = 0;
    // Runs the open window's Transfer action, as if pressed.
    virtual void transfer() = 0;
    // The open window's attended transfer is in progress: it says so.
    virtual void setWarmTransferStatus(bool inProgress) = 0;
    virtual void setTransferButtonState(bool enabled) = 0;
    // A line for the window's state label (such as the caller having hung up).
    virtual void setStateText(const QString &text) = 0;
    // Brings the open window to the front.
    virtual void raise() = 0;
    // Closes the open window without cancelling anything.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
};
