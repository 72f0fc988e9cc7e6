#include "core/migrations/dbupdater.h"

#include <algorithm>
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

unsigned DBUpdater::update(unsigned version)
{
    std::vector<std::unique_ptr<DBUpdate>> steps;
    steps.push_back(std::make_unique<V1Update>(m_db));
    steps.push_back(std::make_unique<V2Update>(m_db));
    steps.push_back(std::make_unique<V3Update>(m_db));
    steps.push_back(std::make_unique<V4Update>(m_db));
    steps.push_back(std::make_unique<V5Update>(m_db));
    steps.push_back(std::make_unique<V6Update>(m_db));
    steps.push_back(std::make_unique<V7Update>(m_db));

    for (unsigned i = version; i < steps.size(); ++i) {
        const unsigned next = i + 1;
        if (!m_db.transaction()) {
            LOG(QStringLiteral("Database update to version ") + QString::number(next)
                + QStringLiteral(" not started: ") + m_db.lastError().text());
            return i;
        }
        steps[i]->update();
        QSqlQuery bump(m_db);
        if (steps[i]->failed()
            || !bump.exec(QStringLiteral("PRAGMA user_version = ") + QString::number(next) + QLatin1Char(';'))
            || !m_db.commit()) {
            if (bump.lastError().isValid())
                LOG(bump.lastError().text());
            m_db.rollback();
            LOG(QStringLiteral("Database update to version ") + QString::number(next)
                + QStringLiteral(" failed and was undone; the database stays at version ")
                + QString::number(i));
            return i;
        }
    }
    return std::max<unsigned>(version, unsigned(steps.size()));
}
