#pragma once

#include <functional>
#include <map>

#include <QList>
#include <QObject>
#include <QString>

#include "messaging/chatstore.h"

class SipDialer;
class dbmgr;

// One of the user's extensions as the message handler follows it.
struct ChatAccount
{
    QString user; // SIP user name, as incoming MESSAGEs address it
    QString extension; // own extension number, the first half of a conversation's name
    QString domain; // where messages are sent
};

// Between the chat windows and the SIP engine: routes incoming MESSAGEs to the extension they
// address, counts unread messages per conversation (in memory only), keeps each conversation in
// its chat log and sends through the engine.
class IMHandler final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(IMHandler)

public:
    // Conversations are kept in `store`'s folder; `db` answers which extensions are chat targets.
    IMHandler(SipDialer &engine, dbmgr &db, const QString &chatFolder, QObject *parent = nullptr);
    ~IMHandler() override;

    // Tells which engine account sends for an own extension (-1: none, nothing is sent). The
    // main window answers with the extension's current registration.
    void setEngineIdLookup(std::function<int(const QString &extension)> lookup);

    void monitorAccount(const ChatAccount &account);
    void unmonitorAccount(const QString &user);

    const ChatStore &store() const { return m_store; }

    // Marks the conversation read, then returns all lines of its chat log (raw, control bytes
    // included, no line feeds).
    QList<QByteArray> getConversationHistory(const QString &own, const QString &peer);
    // The same, the last `maxLines` lines only (for a window that must stay responsive however
    // long the log has grown).
    QList<QByteArray> getRecentHistory(const QString &own, const QString &peer, int maxLines);
    // File names of own's chat logs.
    QStringList getConversationHistory(const QString &own) const;

    void messageRead(const QString &own, const QString &peer);
    // Peers of own with unread messages, in key order.
    QStringList getUnread(const QString &own) const;
    // Unread count of the conversation of the extension that `user` maps to.
    int getUnreadCount(const QString &user, const QString &peer) const;
    int unreadCountOf(const QString &own, const QString &peer) const;
    // Directory extensions offered as chat targets.
    QStringList getAvailableExtensions() const;
    void deleteConversation(const QString &own, const QString &peer);

    // The extension a SIP user name maps to (empty when it is not monitored).
    QString extensionOf(const QString &user) const;

    // The user part of "<sip:user@host>" (first match); any other text is kept as it came.
    static QString userPart(const QString &address);

public slots:
    void messageReceived(const QString &from, const QString &to, const QString &contact, const QString &body);
    void sendMessage(const QString &own, const QString &peer, const QString &text);

signals:
    // For every stored incoming message: from = peer's user part, to = addressed user name,
    // time = the stored time text.
    void receivedMessage(const QString &from, const QString &to, const QString &body, const QString &time);
    // The unread count of own extension changed by delta (negative when messages were read).
    void unreadChanged(const QString &own, int delta);

private:
    SipDialer &m_engine;
    dbmgr &m_db;
    ChatStore m_store;
    std::function<int(const QString &)> m_engineId;
    std::map<QString, QString> m_users; // SIP user name -> own extension
    std::map<QString, ChatAccount> m_accounts; // own extension -> account
    std::map<QString, int> m_unread; // own + "-" + peer -> unread received messages
};
