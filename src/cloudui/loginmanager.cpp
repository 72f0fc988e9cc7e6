#include "cloudui/loginmanager.h"

#include "cloudui/logindialog.h"
#include "panel/orvalo.h"

LoginManager::LoginManager(Orvalo &window, Settings &settings, dbmgr &db, QObject *parent)
    : LoginWindows(parent)
    , m_window(window)
    , m_settings(settings)
    , m_db(db)
{ }

LoginManager::~LoginManager()
{
    delete m_dialog.data();
}

LoginDialog *LoginManager::dialog() const
{
    return m_dialog.data();
}

void LoginManager::openLogin()
{
    delete m_dialog.data();
    m_dialog = new LoginDialog(m_window, m_settings, m_window.kesapi(), m_db, &m_window);
    m_dialog->setWindowModality(Qt::ApplicationModal);
    m_dialog->show();
    m_dialog->check_for_host();
}
