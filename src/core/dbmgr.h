#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

class Settings;

// Owner of the SQLite connection (the default connection of Qt SQL): finds or creates the database
// file, creates the schema in a new file and brings an older file up to the current version.
class dbmgr final
{
public:
    static constexpr unsigned SchemaVersion = 7;

    explicit dbmgr(Settings &settings);
    ~dbmgr();
    dbmgr(const dbmgr &) = delete;
    dbmgr &operator=(const dbmgr &) = delete;

    bool open();
    bool createDatabase(bool unused = false);
    // False when the file cannot be read as a database at all.
    bool checkDatabaseVersion();
    void updateDatabase(unsigned version);
    void close();

    bool isOpen() const { return m_opened; }

    QSqlDatabase database() const;
    QSqlQuery query() const;
    QSqlDatabase account_database() const;
    QSqlQuery account_query() const;

    // The exact statements that create a new file's tables, in creation order.
    static QStringList creationStatements();

private:
    bool openExisting(const QString &path);

    Settings &m_settings;
    bool m_opened = false;
};
