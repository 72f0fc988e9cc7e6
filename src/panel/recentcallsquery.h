#pragma once

#include <QList>
#include <QString>

class QSqlDatabase;

// One row of the recent calls list, ready to show.
struct RecentCall
{
    QString number; // what the dial button dials; empty when the remote party has no number
    QString callText; // rich text: icon, "To "/"From " and the number
    QString dateText; // local start time, and "(hh:mm:ss)" when the call was answered
    QString colour; // "green" outgoing, "red" missed, "blue" answered incoming
    bool outgoing = false;
};

// Reads the newest cdr rows above a cutoff and turns them into list rows.
class RecentCallsQuery final
{
public:
    static QString statement(int cutoff, int limit);
    // The highest cdrid now in the table (0 when empty or unreadable).
    static int latestId(QSqlDatabase &db);
    // At most `limit` rows above `cutoff`, newest first; empty (logged) when the query fails.
    static QList<RecentCall> load(QSqlDatabase &db, int cutoff, int limit);

    // The parts of a row: the number in a remote party text, the duration between two stored
    // times ("hh:mm:ss"), and the row built from the stored columns.
    static QString numberOf(const QString &remote);
    static QString duration(const QString &answered, const QString &hungUp);
    static RecentCall row(const QString &remote, const QString &start, const QString &answered,
        const QString &hungUp, const QString &direction);
};
