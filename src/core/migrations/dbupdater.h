#pragma once

#include <QSqlDatabase>

// Runs the migration steps a file still lacks, in order, then records the current version.
class DBUpdater final
{
public:
    explicit DBUpdater(QSqlDatabase db);
    void update(unsigned version);

private:
    QSqlDatabase m_db;
};
