#include "core/migrations/dbupdate.h"

#include <QSqlError>
#include <QSqlQuery>

#include "core/log.h"

DBUpdate::DBUpdate(QSqlDatabase db)
    : m_db(std::move(db))
{ }

DBUpdate::~DBUpdate() = default;

void DBUpdate::exec(const QString &sql)
{
    QSqlQuery query(m_db);
    if (!query.exec(sql)) {
        LOG(sql);
        LOG(query.lastError().text());
    }
}
