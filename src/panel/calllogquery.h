#pragma once

#include <optional>

#include <QDateTime>
#include <QString>

class QSqlDatabase;
class QSqlQuery;

// The filters of the call log: a time range (minutes; the end includes its whole minute) and
// optional disposition, account and direction. An empty text or no account means "All".
struct CallLogFilter
{
    enum class Direction
    {
        All,
        Outbound,
        Inbound
    };

    QDateTime start;
    QDateTime end;
    QString disposition;
    std::optional<int> accountId;
    Direction direction = Direction::All;
};

// Turns the call log's filters into one prepared statement over the cdr table. Only calls that
// ended are listed: a row without a readable start or hang-up time never matches.
class CallLogQuery final
{
public:
    // The format of the filter's date-time edits.
    static const QString MinuteFormat;

    // The statement for these filters, with :start_date, :end_date and (when filtered)
    // :disposition, :account and :direction placeholders.
    static QString statement(const CallLogFilter &filter);
    // Prepares the statement on `query` and binds the filter's values; false when the
    // statement could not be prepared.
    static bool prepare(QSqlQuery &query, const CallLogFilter &filter);
    // The start of the range as stored text, and the end with its minute's last second.
    static QString startText(const CallLogFilter &filter);
    static QString endText(const CallLogFilter &filter);
    // An index on the start time lets the log read its newest page without sorting the table;
    // created once, kept by the database file. False (logged) when it cannot be created.
    static bool ensureIndex(QSqlDatabase &db);
    // A range whose end lies before its start.
    static bool isReversed(const CallLogFilter &filter);
};
