#pragma once

#include <QObject>
#include <QString>

class Account;

// The chat windows as the main window sees them. They live in a higher target (messagingui);
// the application hands an implementation to the main window, which opens them from the Chat
// button, a directory entry, an extension's unread mark and the Options and History menus.
class ChatWindows : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ChatWindows)

public:
    explicit ChatWindows(QObject *parent = nullptr);
    ~ChatWindows() override;

    // Shows (creating it on first use) the chat window of the extension, adds a non-empty target
    // to it, selects its first target when asked, and brings it to the front.
    virtual void openChat(Account &account, const QString &target, bool selectFirst) = 0;
    // The extension is going away: its chat window closes with it.
    virtual void forgetAccount(Account &account) = 0;
    virtual void openChatSettings() = 0;
    // Opens a new chat history window.
    virtual void openChatHistory() = 0;
};
