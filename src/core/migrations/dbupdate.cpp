#include "core/migrations/dbupdate.h"

#include <QSqlError>
#include <QSqlQuery>

#include "core/log.h"

DBUpdate::DBUpdate(QSqlDatabase db)
    : m_db(std::move(db))
{ }

DBUpdate::~DBUpdate() = default;

bool DBUpdate::run(const QString &sql)
{
    QSqlQuery query(m_db);
    if (query.exec(sql))
        return true;
    LOG(sql);
    LOG(query.lastError().text());
    return false;
}

void DBUpdate::exec(const QString &sql)
{
    if (!run(sql))
        m_failed = true;
}

void DBUpdate::addColumn(const QString &table, const QString &column, const QString &type)
{
    if (run(QStringLiteral("ALTER TABLE ") + table + QStringLiteral(" ADD COLUMN ") + column
            + QLatin1Char(' ') + type + QLatin1Char(';')))
        return;
    if (!hasColumn(table, column))
        m_failed = true;
}

bool DBUpdate::hasColumn(const QString &table, const QString &column) const
{
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("PRAGMA table_info(") + table + QLatin1Char(')')))
        return false;
    while (query.next()) {
        if (query.value(1).toString() == column)
            return true;
    }
    return false;
}
