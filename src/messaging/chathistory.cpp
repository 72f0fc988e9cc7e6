#include "messaging/chathistory.h"

#include <QAtomicInt>
#include <QFile>
#include <QSqlError>

#include "core/log.h"
#include "messaging/chatline.h"
#include "messaging/chatstore.h"

namespace {
QAtomicInt connections;
}

ChatHistory::ChatHistory()
    : m_connection(QStringLiteral("chathistory-") + QString::number(connections.fetchAndAddRelaxed(1)))
{ }

ChatHistory::~ChatHistory()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        if (db.isValid())
            db.close();
    }
    if (QSqlDatabase::contains(m_connection))
        QSqlDatabase::removeDatabase(m_connection);
}

bool ChatHistory::open()
{
    // No file name: SQLite keeps a private temporary database that goes with the connection.
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    if (!db.open()) {
        LOG(QStringLiteral("Unable to open the chat history: ") + db.lastError().text());
        return false;
    }
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("CREATE TABLE chat (id integer primary key,local text,remote text,"
                                   "message text,message_datetime timestamp,direction text);"))) {
        LOG(QStringLiteral("Unable to create the chat history: ") + query.lastError().text());
        return false;
    }
    return true;
}

int ChatHistory::import(const ChatStore &store)
{
    QSqlDatabase db = database();
    if (!db.isOpen())
        return 0;
    int rows = 0;
    db.transaction();
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral("INSERT INTO chat (local, remote, direction, message_datetime, message) "
                                  "VALUES (:local, :remote, :direction, :datetime, :message)"));
    for (const QString &name : store.allConversations()) {
        QString local;
        QString remote;
        if (!ChatStore::splitFileName(name, &local, &remote))
            continue;
        QFile file(store.folder() + QLatin1Char('/') + name);
        if (!file.open(QIODevice::ReadOnly)) {
            LOG(QStringLiteral("Unable to read chat log ") + file.fileName() + QStringLiteral(": ")
                + file.errorString());
            continue;
        }
        while (!file.atEnd()) {
            const std::optional<ChatLine::Entry> entry = ChatLine::decode(file.readLine());
            if (!entry)
                continue;
            insert.bindValue(QStringLiteral(":local"), local);
            insert.bindValue(QStringLiteral(":remote"), remote);
            insert.bindValue(QStringLiteral(":direction"),
                entry->direction == ChatLine::Direction::Sent ? QStringLiteral("OUTBOUND")
                                                              : QStringLiteral("INBOUND"));
            if (entry->time.isEmpty())
                insert.bindValue(QStringLiteral(":datetime"), 0);
            else
                insert.bindValue(QStringLiteral(":datetime"), QString(entry->time).replace(u'/', u'-'));
            insert.bindValue(QStringLiteral(":message"), entry->body);
            if (insert.exec())
                ++rows;
            else
                LOG(QStringLiteral("Unable to import a chat line: ") + insert.lastError().text());
        }
    }
    db.commit();
    return rows;
}

QStringList ChatHistory::accounts() const
{
    QStringList result;
    QSqlQuery query(database());
    if (query.exec(QStringLiteral("SELECT DISTINCT local FROM chat"))) {
        while (query.next())
            result << query.value(0).toString();
    }
    return result;
}

QSqlQuery ChatHistory::filter(
    const QString &start, const QString &end, const QString &account, const QString &direction) const
{
    QString sql = QStringLiteral("SELECT local, remote, direction, message_datetime, message")
        + QStringLiteral(" FROM chat") + QStringLiteral(" WHERE 1=1")
        + QStringLiteral(" AND DATETIME(message_datetime) > DATETIME(:startdate)")
        + QStringLiteral(" AND Datetime(message_datetime) < Datetime(:enddate)");
    if (!account.isEmpty())
        sql += QStringLiteral(" AND local = :local");
    if (!direction.isEmpty())
        sql += QStringLiteral(" AND direction = UPPER(:direction)");
    sql += QStringLiteral(" ORDER BY message_datetime DESC");
    QSqlQuery query(database());
    query.prepare(sql);
    query.bindValue(QStringLiteral(":startdate"), start);
    query.bindValue(QStringLiteral(":enddate"), QString(end + QStringLiteral(":59")));
    if (!account.isEmpty())
        query.bindValue(QStringLiteral(":local"), account);
    if (!direction.isEmpty())
        query.bindValue(QStringLiteral(":direction"), direction);
    if (!query.exec())
        LOG(QStringLiteral("Unable to filter the chat history: ") + query.lastError().text());
    return query;
}
