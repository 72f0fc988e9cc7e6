#pragma once

#include <QObject>

// The login window as the main window sees it. It lives in a higher target (cloudui); the
// application hands an implementation to the main window, which opens it at start-up when nobody
// is logged in and from the Login action. The window reports back through the main window's
// slots (successfulLogin, load_extensions, accountUpdated, clearExtensions,
// processCompanyDevicesDetails).
class LoginWindows : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LoginWindows)

public:
    explicit LoginWindows(QObject *parent = nullptr);
    ~LoginWindows() override;

    // Opens a new login window (it replaces an earlier one), modal over the main window, and
    // returns at once.
    virtual void openLogin() = 0;
};
