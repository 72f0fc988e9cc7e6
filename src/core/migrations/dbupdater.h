#pragma once

#include <QSqlDatabase>

// Runs the migration steps a file still lacks, in order. Each step and its version bump form one
// transaction: a step that fails is rolled back, the file stays at the version before it and no
// later step runs, so the next start tries again from there.
class DBUpdater final
{
public:
    explicit DBUpdater(QSqlDatabase db);
    // Returns the version the file has afterwards.
    unsigned update(unsigned version);

private:
    QSqlDatabase m_db;
};
