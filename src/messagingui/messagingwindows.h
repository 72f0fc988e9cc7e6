#pragma once

#include <map>
#include <memory>

#include <QList>
#include <QPointer>

#include "panel/chatwindows.h"

class ChatDialog;
class ChatLogDialog;
class ChatSettingsDialog;
class IMHandler;
class Settings;

// Owns the chat windows: one chat window per extension, built when it is first opened and kept
// (hidden when closed) until its extension goes; the chat settings window; the history windows,
// a new one each time (closed ones delete themselves).
class MessagingWindows final : public ChatWindows
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MessagingWindows)

public:
    MessagingWindows(IMHandler &im, Settings &settings, QObject *parent = nullptr);
    ~MessagingWindows() override;

    void openChat(Account &account, const QString &target, bool selectFirst) override;
    void forgetAccount(Account &account) override;
    void openChatSettings() override;
    void openChatHistory() override;

    // The chat window of an extension, or null before it was first opened.
    ChatDialog *chatDialog(const Account &account) const;

private:
    IMHandler &m_im;
    Settings &m_settings;
    std::map<const Account *, std::unique_ptr<ChatDialog>> m_chats;
    QPointer<ChatSettingsDialog> m_chatSettings;
    QList<QPointer<ChatLogDialog>> m_histories;
};
