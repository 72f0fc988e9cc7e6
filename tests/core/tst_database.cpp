#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include "core/dbmgr.h"
#include "core/log.h"
#include "core/prompt.h"
#include "core/settings.h"

namespace {
const QStringList AccountColumns = {QStringLiteral("accountid"), QStringLiteral("accountname"),
    QStringLiteral("extension"), QStringLiteral("domain"), QStringLiteral("user"), QStringLiteral("password"),
    QStringLiteral("callerid"), QStringLiteral("defaultaccount"), QStringLiteral("sipserveraddress"),
    QStringLiteral("proxyserveraddress"), QStringLiteral("stunserveraddress"),
    QStringLiteral("provisioningserveraddress"), QStringLiteral("sipport"),
    QStringLiteral("registrationtime"), QStringLiteral("siptransport"), QStringLiteral("rtptransport"),
    QStringLiteral("audiocodecs"), QStringLiteral("videocodecs"), QStringLiteral("voicemail"),
    QStringLiteral("dtmftype"), QStringLiteral("activeaccount"), QStringLiteral("companydevice"),
    QStringLiteral("fromapi"), QStringLiteral("departmentid"), QStringLiteral("fullname"),
    QStringLiteral("phonenumber"), QStringLiteral("accessid"), QStringLiteral("accesspin"),
    QStringLiteral("useipv6")};

// The schema of a file written by the oldest release (version 0), built here from literal SQL so the
// fixture does not depend on the code under test.
const QStringList Version0 = {
    QStringLiteral(
        "CREATE TABLE accounts (accountid INTEGER PRIMARY KEY AUTOINCREMENT, accountname text, extension "
        "text, "
        "domain text, user text, password text, callerid text, defaultaccount boolean, sipserveraddress "
        "text, "
        "proxyserveraddress text, stunserveraddress text, provisioningserveraddress text, sipport text, "
        "registrationtime int, siptransport text, rtptransport text, audiocodecs text, videocodecs text, "
        "voicemail text, dtmftype text, activeaccount boolean,companydevice boolean,fromapi boolean DEFAULT "
        "0,departmentid integer)"),
    QStringLiteral(
        "CREATE TABLE cdr (cdrid integer primary key, startdatetime timestamp not null default "
        "current_timestamp, answerdatetime timestamp, hangupdatetime timestamp, callduration interval, "
        "callbillsec interval, calldirection text, accountid integer not null, localcli text, remotecli "
        "text, fromnumber text, tonumber text, lastcodec text, disposition text, sipresponsecode text, "
        "remoteipaddress text, remoteport text)"),
    QStringLiteral("CREATE TABLE orvalooptions (id INTEGER PRIMARY KEY, name text, value text)"),
    QStringLiteral("CREATE TABLE speeddials (id INTEGER PRIMARY KEY, deviceextensionid INTEGER, label TEXT, "
                   "number TEXT)"),
    QStringLiteral("CREATE TABLE department (id integer, partyid text, name text, greeting text)"),
};

// What each historical release added on top of the previous one.
const QList<QStringList> Steps = {
    {QStringLiteral("CREATE TABLE test(id integer primary key,value text)")},
    {QStringLiteral("ALTER TABLE accounts ADD COLUMN fullname TEXT")},
    {QStringLiteral("ALTER TABLE accounts ADD COLUMN phonenumber TEXT")},
    {QStringLiteral("CREATE TABLE d2(id integer primary key,partyid text,name text,greeting text)"),
        QStringLiteral("INSERT INTO d2 SELECT * FROM department"), QStringLiteral("DROP TABLE department"),
        QStringLiteral("ALTER TABLE d2 RENAME TO department")},
    {QStringLiteral("ALTER TABLE department ADD COLUMN tenantmode text")},
    {QStringLiteral("ALTER TABLE accounts ADD COLUMN accessid TEXT"),
        QStringLiteral("ALTER TABLE accounts ADD COLUMN accesspin TEXT")},
};

QStringList columns(const QString &table)
{
    QStringList names;
    QSqlQuery q;
    q.exec(QStringLiteral("PRAGMA table_info(") + table + QLatin1Char(')'));
    while (q.next())
        names << q.value(1).toString();
    return names;
}

int userVersion()
{
    QSqlQuery q;
    q.exec(QStringLiteral("PRAGMA user_version"));
    return q.next() ? q.value(0).toInt() : -1;
}

} // namespace

class TestDatabase final : public QObject
{
    Q_OBJECT

    QTemporaryDir *m_dir = nullptr;
    ScriptedPrompt *m_prompt = nullptr;

    // Writes a file at the given historical version, with one row in each table of that version.
    void makeFixture(const QString &path, int version)
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fixture"));
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery q(db);
            for (const QString &sql : Version0)
                QVERIFY2(q.exec(sql), qPrintable(sql));
            QVERIFY(
                q.exec(QStringLiteral("INSERT INTO accounts (accountname, extension, domain, user, password) "
                                      "VALUES ('Front desk', '1001', 'example.org', '1001', 'pw')")));
            QVERIFY(q.exec(QStringLiteral(
                "INSERT INTO cdr (accountid, remotecli, disposition) VALUES (1, '555', 'Answered')")));
            QVERIFY(
                q.exec(QStringLiteral("INSERT INTO orvalooptions (name, value) VALUES ('EnableChat', '1')")));
            QVERIFY(q.exec(QStringLiteral("INSERT INTO department VALUES (4, 'p1', 'Sales', 'Hello')")));
            for (int step = 0; step < version; ++step)
                for (const QString &sql : Steps.at(step))
                    QVERIFY2(q.exec(sql), qPrintable(sql));
            QVERIFY(q.exec(QStringLiteral("PRAGMA user_version = ") + QString::number(version)));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("fixture"));
    }

    void writeSettings(const QByteArray &content)
    {
        QFile f(m_dir->filePath(QStringLiteral("settings")));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }

private slots:

    void init()
    {
        m_dir = new QTemporaryDir;
        m_prompt = new ScriptedPrompt;
        Prompt::install(m_prompt);
        Log::set_output_file(m_dir->filePath(QStringLiteral("log")));
    }

    void cleanup()
    {
        Log::set_output_file(QString());
        Prompt::install(nullptr);
        delete m_prompt;
        delete m_dir;
    }

    void newDatabaseHasTheWholeSchema()
    {
        Settings settings(m_dir->path());
        dbmgr db(settings);
        QVERIFY(db.open());
        const QString path = m_dir->filePath(QStringLiteral("orvalo.db"));
        QCOMPARE(settings.getSetting(QStringLiteral("DatabasePath")), path);
        QCOMPARE(userVersion(), 7);
        QCOMPARE(columns(QStringLiteral("accounts")), AccountColumns);
        QVERIFY(columns(QStringLiteral("test")).isEmpty());

        QSqlQuery q;
        // Defaults of the new columns; a call record needs its extension.
        QVERIFY(q.exec(QStringLiteral("INSERT INTO accounts (accountname) VALUES ('x')")));
        QVERIFY(q.exec(QStringLiteral("SELECT fromapi, useipv6 FROM accounts")));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 0);
        QCOMPARE(q.value(1).toInt(), 0);
        QVERIFY(!q.exec(QStringLiteral("INSERT INTO cdr (remotecli) VALUES ('no account')")));
    }

    void secondStartOpensTheSameFile()
    {
        {
            Settings settings(m_dir->path());
            dbmgr db(settings);
            QVERIFY(db.open());
            QSqlQuery q;
            QVERIFY(q.exec(QStringLiteral("INSERT INTO cdr (accountid) VALUES (3)")));
        }
        Settings settings(m_dir->path());
        dbmgr db(settings);
        QVERIFY(db.open());
        QCOMPARE(userVersion(), 7);
        QSqlQuery q(QStringLiteral("SELECT COUNT(*) FROM cdr"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 1);
        QVERIFY(columns(QStringLiteral("test")).isEmpty()); // no step ran again
    }

    void migratesEveryOlderVersion_data()
    {
        QTest::addColumn<int>("version");
        for (int v = 0; v <= 6; ++v)
            QTest::newRow(qPrintable(QStringLiteral("version %1").arg(v))) << v;
    }

    void migratesEveryOlderVersion()
    {
        QFETCH(int, version);
        const QString path = m_dir->filePath(QStringLiteral("old.db"));
        makeFixture(path, version);
        writeSettings("DatabasePath=" + path.toUtf8() + "\n");

        Settings settings(m_dir->path());
        dbmgr db(settings);
        QVERIFY(db.open());
        QCOMPARE(userVersion(), 7);
        QVERIFY(m_prompt->asked().isEmpty());

        QStringList accounts = columns(QStringLiteral("accounts"));
        QCOMPARE(QSet<QString>(accounts.begin(), accounts.end()),
            QSet<QString>(AccountColumns.begin(), AccountColumns.end()));
        QStringList department = columns(QStringLiteral("department"));
        QCOMPARE(department.size(), 5);
        QVERIFY(department.contains(QStringLiteral("tenantmode")));
        QCOMPARE(columns(QStringLiteral("test")).join(QLatin1Char(',')), QStringLiteral("id,value"));

        // Rows written by the old release are still there.
        QSqlQuery q;
        QVERIFY(q.exec(QStringLiteral("SELECT accountname, password, useipv6 FROM accounts")));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("Front desk"));
        QCOMPARE(q.value(1).toString(), QStringLiteral("pw"));
        QCOMPARE(q.value(2).toInt(), 0);
        QVERIFY(q.exec(QStringLiteral("SELECT remotecli FROM cdr")));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("555"));
        QVERIFY(q.exec(QStringLiteral("SELECT id, name, greeting FROM department")));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 4);
        QCOMPARE(q.value(1).toString(), QStringLiteral("Sales"));
        QCOMPARE(settings.getSetting(Settings::EnableChat), QStringLiteral("1"));
    }

    void failingStepIsLoggedAndSkipped()
    {
        // A version-5 file that already has one of the columns step 6 adds.
        const QString path = m_dir->filePath(QStringLiteral("odd.db"));
        makeFixture(path, 5);
        {
            QSqlDatabase fx = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fx"));
            fx.setDatabaseName(path);
            QVERIFY(fx.open());
            QSqlQuery q(fx);
            QVERIFY(q.exec(QStringLiteral("ALTER TABLE accounts ADD COLUMN accessid TEXT")));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("fx"));
        writeSettings("DatabasePath=" + path.toUtf8() + "\n");

        Settings settings(m_dir->path());
        dbmgr db(settings);
        QVERIFY(db.open());
        QCOMPARE(userVersion(), 7);
        QVERIFY(columns(QStringLiteral("accounts")).contains(QStringLiteral("accesspin")));
        QVERIFY(columns(QStringLiteral("accounts")).contains(QStringLiteral("useipv6")));
        QFile log(m_dir->filePath(QStringLiteral("log")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(log.readAll());
        QVERIFY(text.contains(QStringLiteral("] ALTER TABLE accounts ADD COLUMN accessid TEXT;")));
        QVERIFY(text.contains(QStringLiteral("duplicate column name: accessid")));
    }

    // A file that is no database is refused and kept as it is: tst_startup's refusedDatabases, on
    // the real binary.

    void missingConfiguredPathFallsBackToDefault_data()
    {
        QTest::addColumn<QString>("configured");
        QTest::newRow("missing directory") << QStringLiteral("/nonexistent/dir/orvalo.db");
        QTest::newRow("a directory") << QStringLiteral("DIR");
    }

    void missingConfiguredPathFallsBackToDefault()
    {
        QFETCH(QString, configured);
        if (configured == QLatin1String("DIR"))
            configured = m_dir->path();
        writeSettings("DatabasePath=" + configured.toUtf8() + "\n");
        Settings settings(m_dir->path());
        dbmgr db(settings);
        QVERIFY(db.open());
        QCOMPARE(settings.getSetting(QStringLiteral("DatabasePath")),
            m_dir->filePath(QStringLiteral("orvalo.db")));
        QCOMPARE(userVersion(), 7);
    }

    void existingDefaultFileIsAdoptedNotRecreated()
    {
        const QString path = m_dir->filePath(QStringLiteral("orvalo.db"));
        makeFixture(path, 6);
        // No settings file names it (it was lost).
        Settings settings(m_dir->path());
        dbmgr db(settings);
        QVERIFY(db.open());
        QCOMPARE(userVersion(), 7);
        QSqlQuery q(QStringLiteral("SELECT COUNT(*) FROM accounts"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 1);
        QCOMPARE(settings.getSetting(QStringLiteral("DatabasePath")), path);
    }
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
