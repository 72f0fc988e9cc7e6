#include "messaging/imhandler.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

#include "core/dbmgr.h"
#include "core/log.h"
#include "engine/sipdialer.h"
#include "messaging/chatline.h"

namespace {

QString key(const QString &own, const QString &peer)
{
    return own + QLatin1Char('-') + peer;
}

QString now()
{
    return QDateTime::currentDateTime().toString(QLatin1String(ChatLine::TimeFormat));
}

// What the log shows of a body: the start of a long one is enough to recognise it.
QString logExcerpt(const QString &body)
{
    constexpr qsizetype Shown = 200;
    QString text = ChatLine::displayableBody(body.left(Shown));
    text.replace(QLatin1Char('\n'), QChar(0x2424));
    if (body.size() > Shown)
        text += QStringLiteral("... (") + QString::number(body.size()) + QStringLiteral(" characters)");
    return text;
}

} // namespace

IMHandler::IMHandler(SipDialer &engine, dbmgr &db, const QString &chatFolder, QObject *parent)
    : QObject(parent)
    , m_engine(engine)
    , m_db(db)
    , m_store(chatFolder)
{
    connect(&m_engine, &SipDialer::onPager, this, &IMHandler::messageReceived);
}

IMHandler::~IMHandler() = default;

void IMHandler::setEngineIdLookup(std::function<int(const QString &)> lookup)
{
    m_engineId = std::move(lookup);
}

void IMHandler::monitorAccount(const ChatAccount &account)
{
    m_accounts[account.extension] = account;
    m_users[account.user] = account.extension;
}

void IMHandler::unmonitorAccount(const QString &user)
{
    const auto it = m_users.find(user);
    if (it == m_users.end())
        return;
    m_accounts.erase(it->second);
    m_users.erase(it);
}

QString IMHandler::extensionOf(const QString &user) const
{
    const auto it = m_users.find(user);
    return it == m_users.end() ? QString() : it->second;
}

QString IMHandler::userPart(const QString &address)
{
    static const QRegularExpression uri(QStringLiteral("<sip:(\\S*)@\\S*>"));
    const QRegularExpressionMatch match = uri.match(address);
    return match.hasMatch() ? match.captured(1) : address;
}

void IMHandler::messageReceived(
    const QString &from, const QString &to, const QString &contact, const QString &body)
{
    LOG(QStringLiteral("Message received:From: ") + from + QStringLiteral(", To: ") + to
        + QStringLiteral(", contact: ") + contact + QStringLiteral(", body: ") + logExcerpt(body));
    const QString peer = userPart(from);
    const QString user = userPart(to);
    const auto it = m_users.find(user);
    if (it == m_users.end()) {
        LOG(QStringLiteral("Warning: Received message for unmonitored account ") + user);
        return;
    }
    const QString own = it->second;
    ++m_unread[key(own, peer)];
    emit unreadChanged(own, 1);
    const QString time = now();
    m_store.append(own, peer, ChatLine::encode(ChatLine::Direction::Received, time, body));
    emit receivedMessage(peer, user, body, time);
}

void IMHandler::sendMessage(const QString &own, const QString &peer, const QString &text)
{
    const auto it = m_accounts.find(own);
    const int engineId = it != m_accounts.end() && m_engineId ? m_engineId(own) : -1;
    if (engineId < 0) {
        LOG(QStringLiteral("Message to ") + peer + QStringLiteral(" not sent: extension ") + own
            + QStringLiteral(" is not registered"));
        return;
    }
    sip_call_msg msg;
    msg.acc_id = engineId;
    msg.domain = it->second.domain;
    msg.number = peer;
    m_engine.sendMessage(msg, text);
    // Kept whether or not the engine took it: the operator saw it go.
    m_store.append(own, peer, ChatLine::encode(ChatLine::Direction::Sent, now(), text));
}

QList<QByteArray> IMHandler::getConversationHistory(const QString &own, const QString &peer)
{
    messageRead(own, peer);
    return m_store.lines(own, peer);
}

QList<QByteArray> IMHandler::getRecentHistory(const QString &own, const QString &peer, int maxLines)
{
    messageRead(own, peer);
    // A line is at most a few megabytes in practice; the window shows the newest ones.
    return m_store.tail(own, peer, maxLines, qint64(8) * 1024 * 1024);
}

QStringList IMHandler::getConversationHistory(const QString &own) const
{
    return m_store.conversations(own);
}

void IMHandler::messageRead(const QString &own, const QString &peer)
{
    const auto it = m_unread.find(key(own, peer));
    if (it == m_unread.end() || it->second == 0)
        return;
    const int n = it->second;
    it->second = 0;
    emit unreadChanged(own, -n);
}

QStringList IMHandler::getUnread(const QString &own) const
{
    QStringList peers;
    const QString prefix = own + QLatin1Char('-');
    for (const auto &[k, count] : m_unread) {
        if (count > 0 && k.startsWith(prefix))
            peers << k.mid(prefix.size());
    }
    return peers;
}

int IMHandler::unreadCountOf(const QString &own, const QString &peer) const
{
    const auto it = m_unread.find(key(own, peer));
    return it == m_unread.end() ? 0 : it->second;
}

int IMHandler::getUnreadCount(const QString &user, const QString &peer) const
{
    const QString own = extensionOf(user);
    return own.isEmpty() ? 0 : unreadCountOf(own, peer);
}

QStringList IMHandler::getAvailableExtensions() const
{
    QSqlQuery query = m_db.account_query();
    QStringList extensions;
    if (!query.exec(QStringLiteral(
            "SELECT extension, accountname FROM accounts WHERE companydevice = 1 ORDER BY extension"))) {
        LOG(query.lastError().text());
        return extensions;
    }
    while (query.next()) {
        const QString extension = query.value(0).toString();
        if (!extension.isEmpty())
            extensions << extension;
    }
    return extensions;
}

void IMHandler::deleteConversation(const QString &own, const QString &peer)
{
    if (!m_store.remove(own, peer))
        LOG(QStringLiteral("Unable to delete chat log ") + m_store.path(own, peer));
}
