// Main window: chat. The message handler follows the registered extensions; the chat windows
// (handed over by the application) open from the Chat button, a directory entry and an
// extension's unread mark.
#include <QLineEdit>

#include "core/log.h"
#include "messaging/imhandler.h"
#include "panel/account.h"
#include "panel/accountdetailswidget.h"
#include "panel/chatwindows.h"
#include "panel/orvalo.h"
#include "ui_orvalo.h"
#include "widgets/clickablelabel.h"

void Orvalo::setupChat()
{
    m_imHandler->setEngineIdLookup([this](const QString &extension) {
        for (const auto &account : m_accounts) {
            if (account->getExtension() == extension && account->isRegistered())
                return account->getPjId();
        }
        return -1;
    });
    connect(m_imHandler.get(), &IMHandler::unreadChanged, this, [this](const QString &own, int delta) {
        for (const auto &account : m_accounts) {
            if (account->getExtension() == own)
                account->setIMMessageUnread(delta);
        }
    });
}

void Orvalo::setChatWindows(ChatWindows *windows)
{
    m_chatWindows = windows;
    const bool live = windows != nullptr;
    ui->actionChat_settings->setEnabled(live);
    ui->actionChat_history->setEnabled(live);
    if (live)
        m_unbuiltControls.removeAll(ui->ChatButton);
    else if (!m_unbuiltControls.contains(ui->ChatButton))
        m_unbuiltControls.append(ui->ChatButton);
    refresh_call_control();
}

void Orvalo::followChat(Account &account)
{
    m_imHandler->monitorAccount({account.getUsername(), account.getExtension(), account.getDomain()});
}

void Orvalo::forgetChat(Account &account)
{
    m_imHandler->unmonitorAccount(account.getUsername());
    if (m_chatWindows)
        m_chatWindows->forgetAccount(account);
}

void Orvalo::connectUnreadMark(Account &account)
{
    ClickableLabel *mark = account.getAccountDetailsWidget()->getMessagesLabel();
    Account *target = &account;
    connect(mark, &ClickableLabel::clicked, this, [this, target] {
        for (int i = 0; i < int(m_accounts.size()); ++i) {
            if (m_accounts[std::size_t(i)].get() != target)
                continue;
            if (target->getUnreadImCount() > 0 && m_chatWindows)
                m_chatWindows->openChat(*target, QString(), true);
            return;
        }
    });
}

void Orvalo::on_ChatButton_clicked()
{
    const Account *account = getCurrentAccount();
    if (account && account->isRegistered())
        openChatDialog(ui->PhoneNumber->text());
}

void Orvalo::openChatDialog(const QString &target, bool selectFirst)
{
    Account *account = getCurrentAccount();
    if (!account) {
        LOG(QStringLiteral("Chat: no extension selected"));
        return;
    }
    if (!m_chatWindows)
        return;
    m_chatWindows->openChat(*account, target.trimmed(), selectFirst);
}

void Orvalo::on_actionChat_settings_triggered()
{
    if (m_chatWindows)
        m_chatWindows->openChatSettings();
}

void Orvalo::on_actionChat_history_triggered()
{
    if (m_chatWindows)
        m_chatWindows->openChatHistory();
}
