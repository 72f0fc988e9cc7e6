#include "transferui/transfermanager.h"

#include "panel/orvalo.h"
#include "transferui/transferdialog.h"

TransferManager::TransferManager(Orvalo &window)
    : m_window(window)
{ }

TransferManager::~TransferManager()
{
    delete m_dialog.data();
}

void TransferManager::open(int accountIndex, bool warm, const QString &number)
{
    // The window it replaces cancels its attended transfer as it closes.
    if (m_dialog) {
        m_dialog->close();
        m_dialog->deleteLater();
    }
    m_dialog = new Transferdialog(m_window, accountIndex, warm, number, &m_window);
    m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
}

void TransferManager::transfer()
{
    if (m_dialog)
        m_dialog->on_transferbutton_clicked();
}

void TransferManager::setWarmTransferStatus(bool inProgress)
{
    if (m_dialog)
        m_dialog->setWarmTransferStatus(inProgress);
}

void TransferManager::setTransferButtonState(bool enabled)
{
    if (m_dialog)
        m_dialog->setTransferButtonState(enabled);
}

void TransferManager::setStateText(const QString &text)
{
    if (m_dialog)
        m_dialog->setStateText(text);
}

void TransferManager::raise()
{
    if (!m_dialog)
        return;
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
}

void TransferManager::close()
{
    if (!m_dialog)
        return;
    // Closed by the panel, which has ended the transfer itself: not a cancel.
    m_dialog->setWarmTransferStatus(false);
    m_dialog->close();
}

bool TransferManager::isOpen() const
{
    return m_dialog && m_dialog->isVisible();
}
