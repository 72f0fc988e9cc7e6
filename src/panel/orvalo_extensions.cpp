// Main window: the extension list (loading, registering, selecting, editing) and the progress log.
#include <QMenu>
#include <QSqlError>
#include <QSqlQuery>
#include <QTime>

#include "core/dbmgr.h"
#include "core/log.h"
#include "core/settings.h"
#include "engine/sipdialer.h"
#include "panel/account.h"
#include "panel/call.h"
#include "panel/directory.h"
#include "panel/enginecallinfo.h"
#include "panel/extensionwindows.h"
#include "panel/orvalo.h"
#include "ui_orvalo.h"
#include "widgets/clickablelabelwidgetitem.h"

Account *Orvalo::getCurrentAccount() const
{
    if (m_currentAccount < 0 || m_currentAccount >= int(m_accounts.size()))
        return nullptr;
    return m_accounts[std::size_t(m_currentAccount)].get();
}

Account *Orvalo::accountByPjId(int pjId) const
{
    for (const auto &account : m_accounts) {
        if (account->getPjId() == pjId)
            return account.get();
    }
    return nullptr;
}

void Orvalo::pj_log(const QString &text, int accId)
{
    QString line
        = QLatin1Char('[') + QTime::currentTime().toString(QStringLiteral("HH:mm:ss")) + QLatin1Char(']');
    if (accId != -1) {
        const Account *account = accountByPjId(accId);
        line += QLatin1Char('[') + (account ? account->getAccountname() : QStringLiteral("???"))
            + QLatin1Char(']');
    }
    line += QLatin1Char(' ') + text;
    ui->call_progress_log->append(line);
}

// ---- Extensions -------------------------------------------------------------------------------

void Orvalo::load_extensions(const QList<int> &ids)
{
    QSqlQuery query = m_db.account_query();
    if (ids.isEmpty()) {
        query.prepare(QStringLiteral(
            "SELECT accountid, activeaccount, defaultaccount FROM accounts WHERE companydevice = 0"));
    } else {
        QStringList list;
        for (int id : ids)
            list << QString::number(id);
        query.prepare(
            QStringLiteral(
                "SELECT accountid, activeaccount, defaultaccount FROM accounts WHERE accountid in (")
            + list.join(QLatin1Char(',')) + QStringLiteral(") AND companydevice = 0"));
    }
    int index = ui->extensionsTable->count();
    if (!query.exec()) {
        LOG(query.lastError().text());
        return;
    }
    int defaultIndex = -1;
    // An engine error while the window is being built ends the start-up (onErrorState); one is
    // enough to show.
    while (!m_startFailed && query.next()) {
        const int accountId = query.value(0).toInt();
        const bool isDefault = query.value(2).toBool();
        m_accounts.push_back(std::make_unique<Account>(m_db, accountId));
        Account &account = *m_accounts.back();
        auto *item = new ClickableLabelWidgetItem(account.getLabel(), ui->extensionsTable);
        item->setSizeHint(QSize(100, 28));
        connect(item, &ClickableLabelWidgetItem::clicked, this, &Orvalo::accountSelected);
        connect(item, &ClickableLabelWidgetItem::doubleClicked, this, &Orvalo::openSlot);
        if (m_settings.checkSetting(Settings::AutoRegisterOnStartupOrLogin, Setting::Yes))
            registerAccount(index);
        if (isDefault)
            defaultIndex = index;
        ++index;
    }
    if (defaultIndex == -1 && m_accounts.size() == 1)
        selectAccount(0);
    else if (defaultIndex != -1)
        selectAccount(defaultIndex);
}

void Orvalo::load_extension(int accountId)
{
    for (const auto &account : m_accounts) {
        if (account->getKesId() == accountId)
            return; // already listed (a saved row is announced as updated, then as new)
    }
    load_extensions({accountId});
}

void Orvalo::accountUpdated(int accountId)
{
    bool listed = false;
    for (int i = 0; i < int(m_accounts.size()); ++i) {
        Account &account = *m_accounts[std::size_t(i)];
        if (account.getKesId() != accountId)
            continue;
        listed = true;
        account.refreshAccountDetails();
        // Saved details are tried at once, as they would be at the next start; an account the
        // engine holds (registered, or failed and retrying) is replaced by registerAccount().
        if (account.getPjId() >= 0
            || m_settings.checkSetting(Settings::AutoRegisterOnStartupOrLogin, Setting::Yes))
            registerAccount(i);
    }
    // A row that was not listed (saved by an older release without its extension mark) joins the
    // list now; load_extensions() skips rows that are not the operator's extensions.
    if (!listed)
        load_extensions({accountId});
    refresh_call_control();
}

void Orvalo::removeExtension(int accountId)
{
    for (int i = int(m_accounts.size()) - 1; i >= 0; --i) {
        Account &account = *m_accounts[std::size_t(i)];
        if (account.getKesId() != accountId)
            continue;
        // Its calls end with it: the engine hangs them up and the panel drops them now (their
        // labels go, their records are written); the ends the engine reports later find no call.
        for (const auto &call : account.getCalls()) {
            if (call->getCallId() < 0)
                continue;
            hangupCall(account.getPjId(), call->getCallId());
            emit callTerminated(call->getCallId());
        }
        if (account.getPjId() >= 0)
            m_dialer->unregisterAccount(account.getPjId());
        delete ui->extensionsTable->takeItem(i);
        m_accounts.erase(m_accounts.begin() + i);
        // The controls keep acting on the extension that was selected (rows below moved up).
        if (i < m_currentAccount)
            --m_currentAccount;
    }
    if (m_currentAccount >= int(m_accounts.size()))
        m_currentAccount = 0;
    if (m_accounts.empty())
        refresh_call_control();
    else
        selectAccount(m_currentAccount);
}

void Orvalo::clearExtensions()
{
    removeAllBuddies();
    for (const auto &account : m_accounts) {
        if (account->getPjId() >= 0)
            m_dialer->unregisterAccount(account->getPjId());
    }
    ui->extensionsTable->clear();
    m_accounts.clear();
    m_currentAccount = 0;
}

void Orvalo::registerAccount(int index)
{
    if (index < 0 || index >= int(m_accounts.size()))
        return;
    Account &account = *m_accounts[std::size_t(index)];
    QSqlQuery query = m_db.account_query();
    query.prepare(QStringLiteral("SELECT password FROM accounts WHERE accountid = :id"));
    query.bindValue(QStringLiteral(":id"), account.getKesId());
    QString password;
    if (query.exec() && query.next())
        password = query.value(0).toString();
    sip_acc_msg msg;
    msg.domain = account.getDomain();
    msg.username = account.getUsername();
    msg.password = password;
    msg.id_uri = QStringLiteral("<sip:") + account.getUsername() + QLatin1Char('@') + account.getDomain()
        + QLatin1Char('>');
    msg.reg_uri = QStringLiteral("sip:") + account.getDomain();
    msg.use_ipv6 = account.getIpv6();
    // An account whose registration failed is still in the engine, retrying: replaced.
    if (account.getPjId() >= 0)
        m_dialer->unregisterAccount(account.getPjId());
    const int pjId = m_dialer->registerAccount(msg);
    account.setPjId(pjId);
    pj_log(QStringLiteral("Registering account"), pjId);
}

bool Orvalo::hasRegisteredExtension() const
{
    for (const auto &account : m_accounts) {
        if (account->isRegistered())
            return true;
    }
    return false;
}

void Orvalo::selectAccount(int index)
{
    if (index < 0 || index >= int(m_accounts.size()))
        return;
    m_currentAccount = index;
    ui->extensionsTable->setCurrentRow(index);
    refresh_call_control();
}

void Orvalo::accountSelected(int row)
{
    selectAccount(row);
}

void Orvalo::setExtensionWindows(ExtensionWindows *windows)
{
    if (m_extensionWindows)
        m_extensionWindows->disconnect(this);
    m_extensionWindows = windows;
    if (!windows)
        return;
    connect(windows, &ExtensionWindows::accountUpdate, this, &Orvalo::accountUpdated);
    connect(windows, &ExtensionWindows::newAccount, this, &Orvalo::load_extension);
    connect(windows, &ExtensionWindows::removeExtension, this, &Orvalo::removeExtension);
}

void Orvalo::on_actionManage_Extensions_triggered()
{
    if (m_extensionWindows)
        m_extensionWindows->openExtensionList();
}

void Orvalo::openSlot(int row)
{
    if (m_extensionWindows && row >= 0 && row < int(m_accounts.size()))
        m_extensionWindows->editExtension(m_accounts[std::size_t(row)]->getKesId());
}

void Orvalo::updateAccounts()
{
    const EngineCallInfo engine(*m_dialer);
    for (const auto &account : m_accounts)
        account->updateLabel(&engine);
    if (m_directory)
        m_directory->updateLabels();
}

void Orvalo::showExtensionContextMenu(const QPoint &pos)
{
    Account *account = getCurrentAccount();
    if (!account)
        return;
    QMenu menu(this);
    if (account->isRegistered())
        menu.addAction(QStringLiteral("Unregister"), this, &Orvalo::unregister_selected_account);
    else
        menu.addAction(QStringLiteral("Register"), this, &Orvalo::register_selected_account);
    menu.exec(ui->extensionsTable->mapToGlobal(pos));
}

void Orvalo::register_selected_account()
{
    registerAccount(m_currentAccount);
    refresh_call_control();
}

void Orvalo::unregister_selected_account()
{
    Account *account = getCurrentAccount();
    if (!account)
        return;
    m_dialer->unregisterAccount(account->getPjId());
    pj_log(QStringLiteral("Unregistered"), account->getPjId());
    account->setPjId(-1);
    removeAllBuddies();
    refresh_call_control();
}
