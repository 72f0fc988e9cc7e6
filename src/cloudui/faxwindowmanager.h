#pragma once

#include <QList>
#include <QPointer>

#include "panel/faxwindows.h"

class FaxSendDialog;
class Kesapi;
class Settings;

// Opens fax windows for the main window. Each window deletes itself when closed; those still
// open when the manager goes are closed and deleted with it, before the client they use.
class FaxWindowManager final : public FaxWindows
{
public:
    FaxWindowManager(Settings &settings, Kesapi &kesapi);
    ~FaxWindowManager() override;

    void openFax(const QString &extension, const QString &destination) override;

    // The windows still open, oldest first.
    QList<FaxSendDialog *> windows() const;

private:
    Settings &m_settings;
    Kesapi &m_kesapi;
    QList<QPointer<FaxSendDialog>> m_windows;
};
