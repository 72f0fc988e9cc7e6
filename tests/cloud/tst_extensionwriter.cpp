// Writing the chosen devices as accounts rows: the Override/Merge/Cancel and Update answers, the
// signals the panel follows (seen from a second connection, so only committed rows count), and one
// transaction for the whole login.
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include "cloud/extensionwriter.h"
#include "core/dbmgr.h"
#include "core/prompt.h"
#include "core/settings.h"

namespace {
Extension device(const QString &extension)
{
    Extension e;
    e.accountname = QStringLiteral("Desk ") + extension;
    e.status = QStringLiteral("active");
    e.domain = e.sipserveraddress = QStringLiteral("127.0.0.1:5070");
    e.extension = e.user = extension;
    e.password = QStringLiteral("pw-") + extension;
    e.sipport = QStringLiteral("5070");
    e.rtptransport = QStringLiteral("reg");
    return e;
}
} // namespace

class TestExtensionWriter final : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<dbmgr> m_db;
    QStringList m_events;

    // What a second connection sees: only committed rows.
    QString committedExtension(int accountId)
    {
        QSqlQuery q(QSqlDatabase::database(QStringLiteral("observer")));
        q.prepare(QStringLiteral("SELECT extension FROM accounts WHERE accountid = :id"));
        q.bindValue(QStringLiteral(":id"), accountId);
        return q.exec() && q.next() ? q.value(0).toString()
                                    : QStringLiteral("(uncommitted %1)").arg(accountId);
    }

    // extension:companydevice:fromapi of every row, by extension.
    QStringList rows()
    {
        QStringList out;
        QSqlQuery q(QSqlDatabase::database(QStringLiteral("observer")));
        q.exec(QStringLiteral(
            "SELECT extension, companydevice, fromapi, accountname FROM accounts ORDER BY extension"));
        while (q.next())
            out << q.value(0).toString() + QLatin1Char(':') + q.value(1).toString() + QLatin1Char(':')
                    + q.value(2).toString() + QLatin1Char(':') + q.value(3).toString();
        return out;
    }

    void exec(const QString &statement)
    {
        QSqlQuery q = m_db->query();
        QVERIFY2(q.exec(statement), qPrintable(statement));
    }

private slots:

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_settings = std::make_unique<Settings>(m_dir->path());
        m_db = std::make_unique<dbmgr>(*m_settings);
        QVERIFY(m_db->open());
        QSqlDatabase observer
            = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("observer"));
        observer.setDatabaseName(m_dir->filePath(QStringLiteral("orvalo.db")));
        QVERIFY(observer.open());
        m_events.clear();
    }

    void cleanup()
    {
        QSqlDatabase::database(QStringLiteral("observer")).close();
        QSqlDatabase::removeDatabase(QStringLiteral("observer"));
        m_db.reset();
        Prompt::install(nullptr);
    }

    void answers_data()
    {
        QTest::addColumn<QString>("before"); // extension:companydevice of rows present before
        QTest::addColumn<QStringList>("devices");
        QTest::addColumn<int>("foundAnswer");
        QTest::addColumn<int>("updateAnswer");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<int>("questions");

        const int merge = Prompt::Choice2;
        const int override = Prompt::Choice1;
        QTest::newRow("fresh database: the second device asks, Merge keeps both")
            << QString() << QStringList {QStringLiteral("1005"), QStringLiteral("1006")} << merge
            << int(Prompt::No)
            << QStringList {QStringLiteral("1005:0:1:Desk 1005"), QStringLiteral("1006:0:1:Desk 1006")}
            << QStringList {QStringLiteral("new 1005"), QStringLiteral("new 1006")} << 1;
        QTest::newRow("Override deletes every row, directory and earlier devices of the login too")
            << QStringLiteral("1001:0,2000:1") << QStringList {QStringLiteral("1005"), QStringLiteral("1006")}
            << override << int(Prompt::No) << QStringList {QStringLiteral("1006:0:1:Desk 1006")}
            << QStringList {QStringLiteral("clear"), QStringLiteral("new (uncommitted 3)"),
                   QStringLiteral("clear"), QStringLiteral("new 1006")}
            << 2;
        QTest::newRow("Cancel writes nothing")
            << QStringLiteral("1001:0") << QStringList {QStringLiteral("1005")} << int(Prompt::Cancel)
            << int(Prompt::Yes) << QStringList {QStringLiteral("1001:0:0:old")} << QStringList() << 1;
        QTest::newRow("same extension, Update Yes: the directory row becomes a panel account in place")
            << QStringLiteral("1005:1") << QStringList {QStringLiteral("1005")} << merge << int(Prompt::Yes)
            << QStringList {QStringLiteral("1005:0:0:Desk 1005")}
            << QStringList {QStringLiteral("reload 1005")} << 2;
        QTest::newRow("same extension, Update No: left alone")
            << QStringLiteral("1005:1") << QStringList {QStringLiteral("1005")} << merge << int(Prompt::No)
            << QStringList {QStringLiteral("1005:1:0:old")} << QStringList() << 2;
    }

    void answers()
    {
        QFETCH(QString, before);
        QFETCH(QStringList, devices);
        QFETCH(int, foundAnswer);
        QFETCH(int, updateAnswer);
        for (const QString &row : before.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const QStringList parts = row.split(QLatin1Char(':'));
            exec(QStringLiteral(
                "INSERT INTO accounts (accountname, extension, companydevice) VALUES ('old', '%1', %2)")
                     .arg(parts[0], parts[1]));
        }
        ScriptedPrompt prompt([&](const Prompt::Question &q) {
            if (q.title == QLatin1String("Update"))
                return Prompt::Button(updateAnswer);
            return Prompt::Button(foundAnswer);
        });
        Prompt::install(&prompt);

        ExtensionWriter writer(*m_db);
        connect(&writer, &ExtensionWriter::clear_extensions, this,
            [this] { m_events << QStringLiteral("clear"); });
        connect(&writer, &ExtensionWriter::reload_extension, this,
            [this](int id) { m_events << QStringLiteral("reload ") + committedExtension(id); });
        connect(&writer, &ExtensionWriter::load_new_extensions, this, [this](const QList<int> &ids) {
            QCOMPARE(ids.size(), 1);
            m_events << QStringLiteral("new ") + committedExtension(ids.first());
        });
        std::vector<Extension> records;
        for (const QString &e : devices)
            records.push_back(device(e));
        QVERIFY(writer.write(records));

        QTEST(rows(), "rows");
        QTEST(m_events, "events");
        QTEST(int(prompt.asked().size()), "questions");
        for (const Prompt::Question &q : prompt.asked()) {
            if (q.title == QLatin1String("Update")) {
                QCOMPARE(q.text, QStringLiteral("Preexisting account for Desk 1005 1005, override?"));
            } else {
                QCOMPARE(q.text, QStringLiteral("Extension configurations found"));
                QCOMPARE(q.choices, (QStringList {QStringLiteral("Override"), QStringLiteral("Merge")}));
                QCOMPARE(q.buttons, int(Prompt::Choice1 | Prompt::Choice2 | Prompt::Cancel));
            }
        }
    }

    // A statement that fails half-way (the third device) leaves no row of the login and tells the
    // panel nothing; the rows from before stay, also after an Override that was rolled back.
    void failureWritesNothing()
    {
        exec(QStringLiteral(
            "INSERT INTO accounts (accountname, extension, companydevice) VALUES ('old', '1001', 0)"));
        exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON accounts WHEN NEW.extension = '1007' "
                            "BEGIN SELECT RAISE(ABORT, 'refused by the test'); END"));
        ScriptedPrompt prompt([](const Prompt::Question &q) {
            static int found = 0;
            // Override first (deletes the old row), then Merge.
            return q.title == QLatin1String("Update") ? Prompt::Yes
                                                      : (found++ == 0 ? Prompt::Choice1 : Prompt::Choice2);
        });
        Prompt::install(&prompt);
        ExtensionWriter writer(*m_db);
        QSignalSpy cleared(&writer, &ExtensionWriter::clear_extensions);
        QSignalSpy added(&writer, &ExtensionWriter::load_new_extensions);
        QVERIFY(!writer.write({device(QStringLiteral("1005")), device(QStringLiteral("1006")),
            device(QStringLiteral("1007"))}));
        QCOMPARE(rows(), QStringList {QStringLiteral("1001:0:0:old")});
        QCOMPARE(cleared.size(), 0);
        QCOMPARE(added.size(), 0);

        // The connection is usable again: the next login writes.
        exec(QStringLiteral("DROP TRIGGER refuse"));
        QVERIFY(writer.write({device(QStringLiteral("1007"))}));
        QCOMPARE(
            rows(), (QStringList {QStringLiteral("1001:0:0:old"), QStringLiteral("1007:0:1:Desk 1007")}));
    }
};

QTEST_GUILESS_MAIN(TestExtensionWriter)
#include "tst_extensionwriter.moc"
