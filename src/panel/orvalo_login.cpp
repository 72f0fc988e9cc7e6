// Main window: the cloud login state, the Login/Logout action and what a login hands on.
#include <QSqlError>
#include <QSqlQuery>

#include "cloud/kesapi.h"
#include "core/dbmgr.h"
#include "core/log.h"
#include "core/prompt.h"
#include "core/settings.h"
#include "panel/loginwindows.h"
#include "panel/orvalo.h"
#include "ui_orvalo.h"

namespace {
const QString Login = QStringLiteral("Login");
const QString Logout = QStringLiteral("Logout");
} // namespace

void Orvalo::setLoginWindows(LoginWindows *windows)
{
    m_loginWindows = windows;
}

void Orvalo::restoreLoginState()
{
    QSqlQuery query = m_db.account_query();
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM accounts where fromapi = 1"))) {
        LOG(query.lastError().text());
        return;
    }
    if (query.next() && query.value(0).toInt() > 0)
        successfulLogin();
}

void Orvalo::show_login_if_not_loggedin()
{
    if (!m_loggedIn)
        openLogin();
}

void Orvalo::openLogin()
{
    if (m_loginWindows)
        m_loginWindows->openLogin();
}

void Orvalo::successfulLogin()
{
    ui->actionLogin->setText(Logout);
    checkSettings();
    m_loggedIn = true;
}

void Orvalo::on_actionLogin_triggered()
{
    if (!m_loggedIn) {
        openLogin();
        return;
    }
    if (!Prompt::confirm(Logout, QStringLiteral("Are you sure?")))
        return;
    logout();
    openLogin();
}

void Orvalo::logout()
{
    m_kesapi->logout();
    // The provisioned extensions leave the panel once their rows are gone.
    QList<int> provisioned;
    QSqlQuery query = m_db.account_query();
    if (query.exec(QStringLiteral("SELECT accountid FROM accounts WHERE fromapi = 1"))) {
        while (query.next())
            provisioned.append(query.value(0).toInt());
    }
    for (const QString &statement : {QStringLiteral("DELETE FROM accounts WHERE fromapi = 1"),
             QStringLiteral("DELETE FROM department")}) {
        QSqlQuery remove = m_db.account_query();
        if (!remove.exec(statement))
            LOG(statement + QStringLiteral(": ") + remove.lastError().text());
    }
    ui->actionLogin->setText(Login);
    m_loggedIn = false;
    removeAllBuddies();
    load_companydevices();
    m_settings.setSetting(Settings::FooterCompanyname, QString());
    m_settings.setSetting(Settings::FooterUsername, QString());
    checkSettings();
    // removeExtension() unregisters each one the engine holds before dropping it.
    for (int accountId : std::as_const(provisioned))
        removeExtension(accountId);
    LOG(QStringLiteral("Logged out"));
}
