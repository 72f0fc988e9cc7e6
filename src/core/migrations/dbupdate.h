#pragma once

#include <QSqlDatabase>
#include <QString>

// One schema migration step: step n brings a file from version n-1 to version n.
class DBUpdate
{
public:
    explicit DBUpdate(QSqlDatabase db);
    virtual ~DBUpdate();
    virtual void update() = 0;

protected:
    // Runs one statement as it is; a failure is logged (statement, then the driver's text) and
    // the step goes on with its next statement.
    void exec(const QString &sql);

private:
    QSqlDatabase m_db;
};
