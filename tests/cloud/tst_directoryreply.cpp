// The company directory read from hostile replies, and cached: departments once per name and
// tenant mode, one person's desk extension and personal phone merged into one row.
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

#include "cloud/directoryreply.h"
#include "cloud/directorywriter.h"
#include "core/dbmgr.h"
#include "core/settings.h"

class TestDirectoryReply final : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<dbmgr> m_db;

    QStringList rows(const QString &sql)
    {
        QStringList out;
        QSqlQuery q = m_db->query();
        if (!q.exec(sql))
            return {QStringLiteral("failed: ") + sql};
        while (q.next()) {
            QStringList columns;
            for (int i = 0; i < q.record().count(); ++i)
                columns << (q.value(i).isNull() ? QStringLiteral("NULL") : q.value(i).toString());
            out << columns.join(QLatin1Char('|'));
        }
        return out;
    }

    // Reads and stores a reply as the main window does.
    void store(const QString &reply)
    {
        const DirectoryReply read = readDirectoryReply(reply);
        QVERIFY(read.valid);
        DirectoryWriter writer(*m_db);
        writer.writeRows(writer.storeDepartments(read.entries));
    }

private slots:

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_settings = std::make_unique<Settings>(m_dir->path());
        m_db = std::make_unique<dbmgr>(*m_settings);
        QVERIFY(m_db->open());
    }

    void cleanup() { m_db.reset(); }

    void hostileEntries_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QStringList>("expected"); // fullname, extension, phone, accessid, accesspin, domain
        QTest::addColumn<QStringList>("department"); // tenantmode, partyid, name, greeting

        QTest::newRow("complete, dial-out as numbers")
            << QStringLiteral(
                   R"({"phoneuserfirstname":"Gina","phoneusersecondname":"Guard","extensionnumber":"1010",
                "userphone":"+49 30","dialoutasuserid":4711,"dialoutasuserpwd":1234,"serveripaddress":"h:5070",
                "tenantmode":"0","directoryindex":"2001","tabheading":"Reception","greeting":"Hi"})")
            << QStringList {QStringLiteral("Gina Guard"), QStringLiteral("1010"), QStringLiteral("+49 30"),
                   QStringLiteral("4711"), QStringLiteral("1234"), QStringLiteral("h:5070")}
            << QStringList {QStringLiteral("0"), QStringLiteral("2001"), QStringLiteral("Reception"),
                   QStringLiteral("Hi")};
        QTest::newRow("everything missing: a blank name, no dial-out")
            << QStringLiteral("{}")
            << QStringList {QStringLiteral(" "), QString(), QString(), QString(), QString(), QString()}
            << QStringList {QString(), QString(), QString(), QString()};
        QTest::newRow("numbers and objects where text belongs are nothing")
            << QStringLiteral(R"({"phoneuserfirstname":7,"phoneusersecondname":["x"],"extensionnumber":1002,
                "userphone":{"n":1},"serveripaddress":true,"tenantmode":1,"directoryindex":2001,"tabheading":null})")
            << QStringList {QStringLiteral(" "), QString(), QString(), QString(), QString(), QString()}
            << QStringList {QString(), QString(), QString(), QString()};
        QTest::newRow("the text null is nothing")
            << QStringLiteral(
                   R"({"phoneuserfirstname":"null","phoneusersecondname":"Ng","extensionnumber":"null",
                "userphone":"null","dialoutasuserid":null,"directoryindex":"null","greeting":"null"})")
            << QStringList {QStringLiteral(" Ng"), QString(), QString(), QString(), QString(), QString()}
            << QStringList {QString(), QString(), QString(), QString()};
        QTest::newRow("dial-out 0 and fractions are no dial-out; integer text is read")
            << QStringLiteral(R"({"dialoutasuserid":0,"dialoutasuserpwd":"0042","extensionnumber":"1"})")
            << QStringList {QStringLiteral(" "), QStringLiteral("1"), QString(), QString(),
                   QStringLiteral("42"), QString()}
            << QStringList {QString(), QString(), QString(), QString()};
        QTest::newRow("fraction id") << QStringLiteral(R"({"dialoutasuserid":12.5,"dialoutasuserpwd":"pin"})")
                                     << QStringList {QStringLiteral(" "), QString(), QString(), QString(),
                                            QString(), QString()}
                                     << QStringList {QString(), QString(), QString(), QString()};
        QTest::newRow("non-ASCII kept as sent")
            << QStringLiteral(
                   R"({"phoneuserfirstname":"Zoë","phoneusersecondname":"Ångström 日本","tabheading":"Ærø"})")
            << QStringList {QStringLiteral("Zoë Ångström 日本"), QString(), QString(), QString(), QString(),
                   QString()}
            << QStringList {QString(), QString(), QStringLiteral("Ærø"), QString()};
    }

    void hostileEntries()
    {
        QFETCH(QString, entry);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, department);
        const DirectoryReply reply
            = readDirectoryReply(QStringLiteral(R"({"company_devices":[)") + entry + QStringLiteral("]}"));
        QVERIFY(reply.valid);
        QCOMPARE(reply.entries.size(), std::size_t(1));
        const DirectoryEntry &d = reply.entries.front();
        const Extension &e = d.extension;
        QCOMPARE((QStringList {e.fullname, e.extension, e.phonenumber, e.accessid, e.accesspin, e.domain}),
            expected);
        QCOMPARE((QStringList {d.tenantmode, d.partyid, d.name, d.greeting}), department);
        QCOMPARE(e.status, QStringLiteral("active"));
        QCOMPARE(e.departmentid, -1);
    }

    void replyShapes()
    {
        QVERIFY(!readDirectoryReply(QStringLiteral("<html>")).valid);
        QVERIFY(!readDirectoryReply(QStringLiteral("[1,2]")).valid);
        QVERIFY(!readDirectoryReply(QString()).valid);
        QVERIFY(!readDirectoryReply(QStringLiteral("<html>")).parseError.isEmpty());
        // An object without a directory (an error reply) is an empty directory.
        const DirectoryReply error = readDirectoryReply(QStringLiteral(R"({"Error":"Refused"})"));
        QVERIFY(error.valid && error.entries.empty());
        // Entries that are not objects are skipped; a directory that is not an array is empty.
        QCOMPARE(readDirectoryReply(QStringLiteral(R"({"company_devices":[1,"x",null,{}]})")).entries.size(),
            std::size_t(1));
        QVERIFY(readDirectoryReply(QStringLiteral(R"({"company_devices":{"a":{}}})")).entries.empty());
    }

    // Two headings of one tenant mode with different party ids share the first one's row; the
    // same name under another tenant mode is a department of its own.
    void departmentsOncePerNameAndTenantMode()
    {
        store(QStringLiteral(R"({"company_devices":[
            {"phoneuserfirstname":"A","extensionnumber":"1","tenantmode":"0","directoryindex":"2001","tabheading":"Sales","greeting":"first"},
            {"phoneuserfirstname":"B","extensionnumber":"2","tenantmode":"0","directoryindex":"2999","tabheading":"Sales","greeting":"second"},
            {"phoneuserfirstname":"C","extensionnumber":"3","tenantmode":"1","directoryindex":"3001","tabheading":"Sales","greeting":"tenant"}]})"));
        QCOMPARE(
            rows(QStringLiteral("SELECT tenantmode, partyid, name, greeting FROM department ORDER BY id")),
            (QStringList {QStringLiteral("0|2001|Sales|first"), QStringLiteral("1|3001|Sales|tenant")}));
        QCOMPARE(rows(QStringLiteral("SELECT extension, departmentid FROM accounts WHERE companydevice = 1 "
                                     "ORDER BY extension")),
            (QStringList {QStringLiteral("1|1"), QStringLiteral("2|1"), QStringLiteral("3|2")}));
    }

    // One person's desk extension and personal phone, in either order, become one row; another
    // person of the same name in another department does not take the phone.
    void deskAndPhoneMerge_data()
    {
        QTest::addColumn<QString>("entries");
        QTest::addColumn<QStringList>("expected");
        const QString desk = QStringLiteral(
            R"({"phoneuserfirstname":"Bruno","phoneusersecondname":"Berger","extensionnumber":"1002","userphone":"","tabheading":"R","tenantmode":"0"})");
        const QString phone = QStringLiteral(
            R"({"phoneuserfirstname":"Bruno","phoneusersecondname":"Berger","userphone":"+49 30 1234-567","tabheading":"R","tenantmode":"0"})");
        const QString elsewhere = QStringLiteral(
            R"({"phoneuserfirstname":"Bruno","phoneusersecondname":"Berger","userphone":"+1 555","tabheading":"S","tenantmode":"0"})");
        const QString both = QStringLiteral("Bruno Berger|1002|+49 30 1234-567|1|1");
        QTest::newRow("desk first") << desk + QLatin1Char(',') + phone << QStringList {both};
        QTest::newRow("phone first") << phone + QLatin1Char(',') + desk << QStringList {both};
        QTest::newRow("same name in another department stays apart")
            << desk + QLatin1Char(',') + elsewhere
            << QStringList {QStringLiteral("Bruno Berger|1002|NULL|1|1"),
                   QStringLiteral("Bruno Berger|NULL|+1 555|1|1")};
        QTest::newRow("two desk extensions stay two tiles")
            << desk + QLatin1Char(',') + QString(desk).replace(QStringLiteral("1002"), QStringLiteral("1012"))
            << QStringList {QStringLiteral("Bruno Berger|1002|NULL|1|1"),
                   QStringLiteral("Bruno Berger|1012|NULL|1|1")};
    }

    void deskAndPhoneMerge()
    {
        QFETCH(QString, entries);
        QFETCH(QStringList, expected);
        store(QStringLiteral(R"({"company_devices":[)") + entries + QStringLiteral("]}"));
        QCOMPARE(rows(QStringLiteral(
                     "SELECT fullname, extension, phonenumber, companydevice, fromapi FROM accounts "
                     "ORDER BY accountid")),
            expected);
    }

    // A new directory replaces the old rows and departments, and leaves the panel's own
    // extensions alone.
    void reloadReplacesOnlyTheDirectory()
    {
        QSqlQuery own = m_db->query();
        QVERIFY(
            own.exec(QStringLiteral("INSERT INTO accounts (accountname, extension, companydevice, fromapi) "
                                    "VALUES ('Front desk', '1001', 0, 1)")));
        store(QStringLiteral(
            R"({"company_devices":[{"phoneuserfirstname":"Old","extensionnumber":"7","tabheading":"Gone"}]})"));
        store(QStringLiteral(
            R"({"company_devices":[{"phoneuserfirstname":"New","extensionnumber":"8","tabheading":"Here"}]})"));
        QCOMPARE(rows(QStringLiteral("SELECT extension, companydevice FROM accounts ORDER BY extension")),
            (QStringList {QStringLiteral("1001|0"), QStringLiteral("8|1")}));
        QCOMPARE(rows(QStringLiteral("SELECT name FROM department")), QStringList {QStringLiteral("Here")});
        store(QStringLiteral(R"({"Error":"Invalid credentials"})"));
        QCOMPARE(
            rows(QStringLiteral("SELECT extension FROM accounts")), QStringList {QStringLiteral("1001")});
        QVERIFY(rows(QStringLiteral("SELECT name FROM department")).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDirectoryReply)
#include "tst_directoryreply.moc"
