#include "panel/recentcallsquery.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include "core/log.h"

namespace {

const QString StoredFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

QDateTime storedTime(const QString &text)
{
    QDateTime time = QDateTime::fromString(text, StoredFormat);
    time.setTimeSpec(Qt::UTC);
    return time;
}

QString twoDigits(qint64 n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

} // namespace

QString RecentCallsQuery::statement(int cutoff, int limit)
{
    return QStringLiteral("SELECT u.extension, c.remotecli, c.startdatetime, c.answerdatetime, "
                          "c.hangupdatetime, c.calldirection FROM cdr c "
                          "LEFT JOIN accounts u ON u.accountid = c.accountid  WHERE cdrid > ")
        + QString::number(cutoff) + QStringLiteral(" ORDER BY c.cdrid DESC  LIMIT ") + QString::number(limit);
}

int RecentCallsQuery::latestId(QSqlDatabase &db)
{
    QSqlQuery query(db);
    if (query.exec(QStringLiteral("select cdrid from cdr order by cdrid desc limit 1;")) && query.next())
        return qMax(0, query.value(0).toInt());
    return 0;
}

QList<RecentCall> RecentCallsQuery::load(QSqlDatabase &db, int cutoff, int limit)
{
    QList<RecentCall> rows;
    const QString sql = statement(cutoff, qMax(0, limit));
    LOG(QStringLiteral("Call log query: ") + sql);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(sql)) {
        LOG(query.lastError().text());
        return rows;
    }
    while (query.next()) {
        rows.append(row(query.value(1).toString(), query.value(2).toString(), query.value(3).toString(),
            query.value(4).toString(), query.value(5).toString()));
    }
    return rows;
}

QString RecentCallsQuery::numberOf(const QString &remote)
{
    static const QRegularExpression uri(QStringLiteral("<?.*sip:([0-9]+)@"));
    static const QRegularExpression digits(QStringLiteral("^(\\d+)$"));
    for (const QRegularExpression *pattern : {&uri, &digits}) {
        const QRegularExpressionMatch match = pattern->match(remote);
        if (match.hasMatch())
            return match.captured(1);
    }
    return QString();
}

QString RecentCallsQuery::duration(const QString &answered, const QString &hungUp)
{
    const QDateTime from = storedTime(answered);
    const QDateTime to = storedTime(hungUp);
    const qint64 seconds = from.isValid() && to.isValid() ? qMax<qint64>(0, from.secsTo(to)) : 0;
    return QStringLiteral("%1:%2:%3")
        .arg(twoDigits(seconds / 3600), twoDigits(seconds / 60 % 60), twoDigits(seconds % 60));
}

RecentCall RecentCallsQuery::row(const QString &remote, const QString &start, const QString &answered,
    const QString &hungUp, const QString &direction)
{
    RecentCall call;
    call.outgoing = direction == QLatin1String("O");
    call.number = numberOf(remote);
    const bool wasAnswered = !answered.isEmpty();
    QString icon;
    if (call.outgoing) {
        icon = QStringLiteral("phone-outgoing.svg");
        call.colour = QStringLiteral("green");
    } else if (!wasAnswered) {
        icon = QStringLiteral("phone-missed.svg");
        call.colour = QStringLiteral("red");
    } else {
        icon = QStringLiteral("phone-incoming.svg");
        call.colour = QStringLiteral("blue");
    }
    call.callText = QStringLiteral("<img src=\":/icons/icons/") + icon + QStringLiteral("\">")
        + (call.outgoing ? QStringLiteral("To ") : QStringLiteral("From ")) + QLatin1Char(' ') + call.number;
    // A start time that cannot be read shows as nothing rather than as a wrong date.
    call.dateText = storedTime(start).toLocalTime().toString(StoredFormat) + QLatin1Char(' ');
    if (wasAnswered)
        call.dateText += QLatin1Char('(') + duration(answered, hungUp) + QLatin1Char(')');
    return call;
}
