#pragma once

#include <QSqlDatabase>
#include <QString>

// One schema migration step: step n brings a file from version n-1 to version n. The runner
// (DBUpdater) wraps each step in a transaction with its version bump; a step that failed() is
// rolled back whole.
class DBUpdate
{
public:
    explicit DBUpdate(QSqlDatabase db);
    virtual ~DBUpdate();
    virtual void update() = 0;

    // True when a statement of this step failed.
    bool failed() const { return m_failed; }

protected:
    // Runs one statement as it is; a failure is logged (statement, then the driver's text), marks
    // the step failed and the step goes on with its next statement.
    void exec(const QString &sql);
    // "ALTER TABLE <table> ADD COLUMN <column> <type>;". A column that is already there (a file
    // whose version was lost) is logged like any failed statement but does not fail the step.
    void addColumn(const QString &table, const QString &column, const QString &type);

private:
    bool run(const QString &sql);
    bool hasColumn(const QString &table, const QString &column) const;

    QSqlDatabase m_db;
    bool m_failed = false;
};
