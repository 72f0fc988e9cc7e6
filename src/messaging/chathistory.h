#pragma once

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

class ChatStore;

// Every stored chat message of every extension in a private temporary SQLite table, for the
// chat history window to filter. Nothing is written back to the chat logs.
class ChatHistory final
{
public:
    ChatHistory();
    ~ChatHistory();
    ChatHistory(const ChatHistory &) = delete;
    ChatHistory &operator=(const ChatHistory &) = delete;

    // Opens the temporary database and creates the table; false when that failed (logged).
    bool open();

    // Reads every chat log of the store's folder into the table; returns the number of rows.
    int import(const ChatStore &store);

    // Distinct own extensions, in table order.
    QStringList accounts() const;

    // Rows between the two times (texts "yyyy-MM-dd HH:mm"; the start is exclusive, the end
    // includes its minute up to second 58), for one own extension and one direction ("Outbound",
    // "Inbound") unless they are empty; newest first. Columns: local, remote, direction,
    // message_datetime, message.
    QSqlQuery filter(
        const QString &start, const QString &end, const QString &account, const QString &direction) const;

    QSqlDatabase database() const { return QSqlDatabase::database(m_connection, false); }

private:
    QString m_connection;
};
