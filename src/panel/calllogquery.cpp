#include "panel/calllogquery.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include "core/log.h"

const QString CallLogQuery::MinuteFormat = QStringLiteral("yyyy-MM-dd HH:mm");

QString CallLogQuery::startText(const CallLogFilter &filter)
{
    return filter.start.toString(MinuteFormat);
}

QString CallLogQuery::endText(const CallLogFilter &filter)
{
    return filter.end.toString(MinuteFormat) + QStringLiteral(":59");
}

bool CallLogQuery::isReversed(const CallLogFilter &filter)
{
    return filter.end.isValid() && filter.start.isValid() && filter.end < filter.start;
}

QString CallLogQuery::statement(const CallLogFilter &filter)
{
    // Stored times are "yyyy-MM-dd HH:mm:ss" text, which sorts like the times themselves: the
    // plain comparisons on startdatetime walk the index over the range only; Datetime() then
    // drops rows whose times cannot be read. A call cannot end before it starts, so a start
    // after the end of the range cannot match.
    QString sql = QStringLiteral(
        "SELECT accountid, remotecli, startdatetime, hangupdatetime, callduration, disposition,"
        " CASE WHEN calldirection = 'O' THEN 'Outbound' ELSE 'Inbound' END AS direction"
        " FROM cdr"
        " WHERE startdatetime > :start_date AND startdatetime <= :end_date"
        " AND Datetime(:start_date) < Datetime(startdatetime)"
        " AND Datetime(:end_date) > Datetime(hangupdatetime)");
    if (!filter.disposition.isEmpty())
        sql += QStringLiteral(" AND disposition = :disposition");
    if (filter.accountId)
        sql += QStringLiteral(" AND accountid = :account");
    if (filter.direction == CallLogFilter::Direction::Outbound)
        sql += QStringLiteral(" AND calldirection = 'O'");
    else if (filter.direction == CallLogFilter::Direction::Inbound)
        sql += QStringLiteral(" AND (calldirection IS NULL OR calldirection <> 'O')");
    sql += QStringLiteral(" ORDER BY startdatetime DESC");
    return sql;
}

bool CallLogQuery::prepare(QSqlQuery &query, const CallLogFilter &filter)
{
    query.setForwardOnly(false);
    if (!query.prepare(statement(filter))) {
        LOG(QStringLiteral("Call log query: ") + query.lastError().text());
        return false;
    }
    // The range is compared as stored text: seconds are written out.
    query.bindValue(QStringLiteral(":start_date"), QString(startText(filter) + QStringLiteral(":00")));
    query.bindValue(QStringLiteral(":end_date"), endText(filter));
    if (!filter.disposition.isEmpty())
        query.bindValue(QStringLiteral(":disposition"), filter.disposition);
    if (filter.accountId)
        query.bindValue(QStringLiteral(":account"), *filter.accountId);
    return true;
}

bool CallLogQuery::ensureIndex(QSqlDatabase &db)
{
    QSqlQuery query(db);
    if (query.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS cdr_startdatetime ON cdr (startdatetime)")))
        return true;
    LOG(QStringLiteral("Call log index not created: ") + query.lastError().text());
    return false;
}
