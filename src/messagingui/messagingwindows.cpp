#include "messagingui/messagingwindows.h"

#include "messaging/imhandler.h"
#include "messagingui/chatdialog.h"
#include "messagingui/chatlogdialog.h"
#include "messagingui/chatsettingsdialog.h"

MessagingWindows::MessagingWindows(IMHandler &im, Settings &settings, QObject *parent)
    : ChatWindows(parent)
    , m_im(im)
    , m_settings(settings)
{ }

MessagingWindows::~MessagingWindows()
{
    delete m_chatSettings;
    for (const QPointer<ChatLogDialog> &history : std::as_const(m_histories))
        delete history;
}

void MessagingWindows::openChat(Account &account, const QString &target, bool selectFirst)
{
    std::unique_ptr<ChatDialog> &dialog = m_chats[&account];
    if (!dialog)
        dialog = std::make_unique<ChatDialog>(account, m_im, m_settings);
    if (!target.isEmpty())
        dialog->addTarget(target);
    if (selectFirst)
        dialog->targetSelected(-1);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void MessagingWindows::forgetAccount(Account &account)
{
    m_chats.erase(&account);
}

ChatDialog *MessagingWindows::chatDialog(const Account &account) const
{
    const auto it = m_chats.find(&account);
    return it == m_chats.end() ? nullptr : it->second.get();
}

void MessagingWindows::openChatSettings()
{
    if (!m_chatSettings) {
        m_chatSettings = new ChatSettingsDialog(m_settings);
        m_chatSettings->setAttribute(Qt::WA_DeleteOnClose); // read afresh at every opening
    }
    m_chatSettings->show();
    m_chatSettings->raise();
    m_chatSettings->activateWindow();
}

void MessagingWindows::openChatHistory()
{
    auto *history = new ChatLogDialog(m_im.store());
    history->setAttribute(Qt::WA_DeleteOnClose);
    m_histories.removeAll(nullptr);
    m_histories.append(history);
    history->show();
}
