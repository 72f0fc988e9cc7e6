#include "core/migrations/dbupdater.h"

#include <memory>
#include <vector>

#include <QSqlError>
#include <QSqlQuery>

#include "core/log.h"
#include "core/migrations/v1update.h"
#include "core/migrations/v2update.h"
#include "core/migrations/v3update.h"
#include "core/migrations/v4update.h"
#include "core/migrations/v5update.h"
#include "core/migrations/v6update.h"
#include "core/migrations/v7update.h"

DBUpdater::DBUpdater(QSqlDatabase db)
    : m_db(std::move(db))
{ }

void DBUpdater::update(unsigned version)
{
    std::vector<std::unique_ptr<DBUpdate>> steps;
    steps.push_back(std::make_unique<V1Update>(m_db));
    steps.push_back(std::make_unique<V2Update>(m_db));
    steps.push_back(std::make_unique<V3Update>(m_db));
    steps.push_back(std::make_unique<V4Update>(m_db));
    steps.push_back(std::make_unique<V5Update>(m_db));
    steps.push_back(std::make_unique<V6Update>(m_db));
    steps.push_back(std::make_unique<V7Update>(m_db));

    unsigned i = version;
    for (; i < steps.size(); ++i)
        steps[i]->update();

    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("PRAGMA user_version = ") + QString::number(i) + QLatin1Char(';')))
        LOG(query.lastError().text());
}
