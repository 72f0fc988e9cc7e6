#pragma once

#include <QPointer>

#include "panel/loginwindows.h"

class LoginDialog;
class Orvalo;
class Settings;
class dbmgr;

// Opens the login window for the main window: each openLogin() builds a new dialog (the previous
// one is closed and deleted), parented to the main window and modal over it.
class LoginManager final : public LoginWindows
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LoginManager)

public:
    LoginManager(Orvalo &window, Settings &settings, dbmgr &db, QObject *parent = nullptr);
    ~LoginManager() override;

    void openLogin() override;

    // The window of the last openLogin(), while it exists.
    LoginDialog *dialog() const;

private:
    Orvalo &m_window;
    Settings &m_settings;
    dbmgr &m_db;
    QPointer<LoginDialog> m_dialog;
};
