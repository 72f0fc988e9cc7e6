#include "core/migrations/dbupdate.h"

#include "core/log.h"

#include <QSqlError>
#include <QSqlQuery>

DBUpdate::DBUpdate(QSqlDatabase db)
    : m_db(std::move(db))
{
}

DBUpdate::~DBUpdate() = default;

void DBUpdate::exec(const QString &sql)
{
    QSqlQuery query(m_db);
    if (!query.exec(sql)) {
        LOG(sql);
        LOG(query.lastError().text());
    }
}
