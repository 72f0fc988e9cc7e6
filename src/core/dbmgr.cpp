#include "core/dbmgr.h"

#include <cstdlib>

#include <QFileInfo>
#include <QSqlError>
#include <QtDebug>

#include "core/log.h"
#include "core/migrations/dbupdater.h"
#include "core/prompt.h"
#include "core/settings.h"

namespace {
const QString DatabaseError = QStringLiteral("Database Error");

// "name<spaces up to 18 characters>type" for the padded creation statements.
QString padded(const char *name, const char *type)
{
    return QString::fromLatin1(name).leftJustified(18, QLatin1Char(' ')) + QLatin1String(type);
}

QString table(const char *name, const QStringList &columns)
{
    return QStringLiteral("CREATE TABLE ") + QLatin1String(name) + QStringLiteral(" (")
        + columns.join(QStringLiteral(", ")) + QStringLiteral(");");
}
} // namespace

dbmgr::dbmgr(Settings &settings)
    : m_settings(settings)
{
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE"))) {
        qDebug() << "QSQLITE driver not found";
        Prompt::critical(DatabaseError, QStringLiteral("QSQLITE driver not found"));
    }
}

dbmgr::~dbmgr()
{
    close();
}

QStringList dbmgr::creationStatements()
{
    return {
        QStringLiteral(
            "CREATE TABLE accounts (accountid INTEGER PRIMARY KEY AUTOINCREMENT, accountname text, extension "
            "text, "
            "domain text, user text, password text, callerid text, defaultaccount boolean, sipserveraddress "
            "text, "
            "proxyserveraddress text, stunserveraddress text, provisioningserveraddress text, sipport text, "
            "registrationtime int, siptransport text, rtptransport text, audiocodecs text, videocodecs text, "
            "voicemail text, dtmftype text, activeaccount boolean,companydevice boolean,fromapi boolean "
            "DEFAULT "
            "0,departmentid integer,fullname text,phonenumber text,accessid text,accesspin text,useipv6 "
            "boolean "
            "DEFAULT 0);"),
        table("cdr",
            {padded("cdrid", "integer primary key"),
                padded("startdatetime", "timestamp not null default current_timestamp"),
                padded("answerdatetime", "timestamp"), padded("hangupdatetime", "timestamp"),
                padded("callduration", "interval"), padded("callbillsec", "interval"),
                padded("calldirection", "text"), padded("accountid", "integer not null"),
                padded("localcli", "text"), padded("remotecli", "text"), padded("fromnumber", "text"),
                padded("tonumber", "text"), padded("lastcodec", "text"), padded("disposition", "text"),
                padded("sipresponsecode", "text"), padded("remoteipaddress", "text"),
                padded("remoteport", "text")}),
        table("orvalooptions",
            {padded("id", "INTEGER PRIMARY KEY"), padded("name", "text"), padded("value", "text")}),
        table("speeddials",
            {padded("id", "INTEGER PRIMARY KEY"), padded("deviceextensionid", "INTEGER"),
                padded("label", "TEXT"), padded("number", "TEXT")}),
        QStringLiteral(
            "CREATE TABLE department (id integer primary key, tenantmode text, partyid text, name text, "
            "greeting text);"),
    };
}

bool dbmgr::open()
{
    if (m_opened)
        return true;

    const QString configured = m_settings.getSetting(QStringLiteral("DatabasePath"));
    QSqlDatabase db = QSqlDatabase::contains(QLatin1String(QSqlDatabase::defaultConnection))
        ? QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false)
        : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));

    if (!configured.isEmpty() && QFileInfo(configured).isFile())
        return openExisting(configured);

    const QString path = m_settings.getFilePath(QStringLiteral("orvalo.db"));
    db.setDatabaseName(path);
    m_settings.setSetting(QStringLiteral("DatabasePath"), path, true);
    // A database left at the default place (for instance after the settings file was lost) is
    // adopted, never overwritten; getFilePath() leaves an empty file behind for a new one.
    if (QFileInfo(path).size() > 0) {
        LOG(QStringLiteral("Adopting existing database ") + path);
        return openExisting(path);
    }
    return createDatabase(false);
}

bool dbmgr::openExisting(const QString &path)
{
    QSqlDatabase db = database();
    db.setDatabaseName(path);
    if (!db.open()) {
        qDebug().noquote() << "Database open failed: " + db.lastError().text();
        Prompt::critical(DatabaseError, db.lastError().text());
        return false;
    }
    qDebug() << "Database: connected OK";
    if (!checkDatabaseVersion()) {
        db.close();
        return false;
    }
    m_opened = true;
    return true;
}

bool dbmgr::createDatabase(bool)
{
    QSqlDatabase db = database();
    if (!db.isOpen() && !db.open()) {
        LOG(QStringLiteral("Database open failed: ") + db.lastError().text());
        return false;
    }
    for (const QString &statement : creationStatements()) {
        QSqlQuery query(db);
        if (!query.prepare(statement) || !query.exec()) {
            LOG(statement);
            LOG(query.lastError().text());
            return false;
        }
    }
    QSqlQuery version(db);
    if (!version.exec(QStringLiteral("PRAGMA user_version = ") + QString::number(SchemaVersion)))
        LOG(version.lastError().text());
    m_opened = true;
    return true;
}

bool dbmgr::checkDatabaseVersion()
{
    unsigned version = 0;
    {
        QSqlQuery query(database());
        if (!query.exec(QStringLiteral("PRAGMA user_version"))) {
            // Not a database (or unreadable): refuse it rather than write into it.
            qDebug().noquote() << "Database open failed: " + query.lastError().text();
            Prompt::critical(DatabaseError, query.lastError().text());
            return false;
        }
        if (query.next())
            version = query.value(0).toUInt();
        query.finish();
    }
    updateDatabase(version);
    return true;
}

void dbmgr::updateDatabase(unsigned version)
{
    if (version > SchemaVersion) {
        LOG(QStringLiteral("Database version ") + QString::number(version) + QStringLiteral(" is newer than ")
            + QString::number(SchemaVersion));
        Prompt::critical(DatabaseError, QStringLiteral("DB Version is higher than the executable's"));
        std::exit(1);
    }
    DBUpdater(database()).update(version);
}

void dbmgr::close()
{
    if (QSqlDatabase::contains(QLatin1String(QSqlDatabase::defaultConnection))) {
        {
            QSqlDatabase db = QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false);
            db.close();
        }
        QSqlDatabase::removeDatabase(QLatin1String(QSqlDatabase::defaultConnection));
    }
    if (m_opened)
        qDebug() << "Database: disconnected OK";
    m_opened = false;
}

QSqlDatabase dbmgr::database() const
{
    return QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), true);
}

QSqlQuery dbmgr::query() const
{
    return QSqlQuery(database());
}

QSqlDatabase dbmgr::account_database() const
{
    return database();
}

QSqlQuery dbmgr::account_query() const
{
    return QSqlQuery(account_database());
}
