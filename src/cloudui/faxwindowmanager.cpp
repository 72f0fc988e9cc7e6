#include "cloudui/faxwindowmanager.h"

#include "cloudui/faxsenddialog.h"

FaxWindowManager::FaxWindowManager(Settings &settings, Kesapi &kesapi)
    : m_settings(settings)
    , m_kesapi(kesapi)
{ }

FaxWindowManager::~FaxWindowManager()
{
    for (const QPointer<FaxSendDialog> &window : std::as_const(m_windows))
        delete window.data();
}

void FaxWindowManager::openFax(const QString &extension, const QString &destination)
{
    m_windows.removeAll(nullptr);
    auto *window = new FaxSendDialog(extension, destination, m_settings, m_kesapi);
    window->setAttribute(Qt::WA_DeleteOnClose);
    m_windows << window;
    window->show();
    window->raise();
    window->activateWindow();
}

QList<FaxSendDialog *> FaxWindowManager::windows() const
{
    QList<FaxSendDialog *> open;
    for (const QPointer<FaxSendDialog> &window : m_windows) {
        if (window)
            open << window.data();
    }
    return open;
}
