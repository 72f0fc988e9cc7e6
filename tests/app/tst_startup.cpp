// Runs the real panel binary from a copied directory and checks what it leaves behind.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {
QString readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

int userVersionOf(const QString &path)
{
    int version = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("probe"));
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(QStringLiteral("PRAGMA user_version")) && q.next())
                version = q.value(0).toInt();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("probe"));
    return version;
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}
} // namespace

class TestStartup final : public QObject
{
    Q_OBJECT

    QTemporaryDir *m_root = nullptr;
    QString m_app; // the copied application directory
    QString m_home; // per-user data root

    QProcess *start(const QStringList &wrapper = {}, const QMap<QString, QString> &extraEnv = {})
    {
        auto *p = new QProcess(this);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_home);
        env.insert(QStringLiteral("ORVALO_UNATTENDED"), QStringLiteral("1"));
        for (auto it = extraEnv.begin(); it != extraEnv.end(); ++it)
            env.insert(it.key(), it.value());
        p->setProcessEnvironment(env);
        p->setWorkingDirectory(m_root->path());
        const QString binary = m_app + QStringLiteral("/orvalo");
        if (wrapper.isEmpty())
            p->start(binary, {});
        else
            p->start(wrapper.first(), wrapper.mid(1) << binary);
        return p;
    }

    // Waits for the start-up to complete (its last log line), then asks the panel to quit.
    static bool runUntilReady(QProcess *p, const QString &logPath)
    {
        // Only lines written by this run count: an earlier run left its own in the file.
        const qsizetype already = readAll(logPath).count(QStringLiteral("Initialisation complete"));
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 20000 && p->state() != QProcess::NotRunning) {
            if (readAll(logPath).count(QStringLiteral("Initialisation complete")) > already) {
                p->terminate();
                return p->waitForFinished(10000) && p->exitStatus() == QProcess::NormalExit
                    && p->exitCode() == 0;
            }
            QTest::qWait(50);
        }
        p->kill();
        p->waitForFinished(3000);
        return false;
    }

    static int exitCodeOf(QProcess *p)
    {
        if (!p->waitForFinished(20000)) {
            p->kill();
            p->waitForFinished(3000);
            return -1;
        }
        return p->exitCode();
    }

private slots:

    void init()
    {
        m_root = new QTemporaryDir;
        m_app = m_root->filePath(QStringLiteral("app"));
        m_home = m_root->filePath(QStringLiteral("home"));
        QVERIFY(QDir().mkpath(m_app));
        QVERIFY(QDir().mkpath(m_home));
        QVERIFY(QFile::copy(QStringLiteral(ORVALO_BIN_DIR "/orvalo"), m_app + QStringLiteral("/orvalo")));
    }

    void cleanup() { delete m_root; }

    // A first start in a writable application folder. A second start keeping what the file holds
    // is tst_database's secondStartOpensTheSameFile.
    void firstStart()
    {
        const QString log = m_app + QStringLiteral("/log");
        QProcess *p = start();
        const bool ready = runUntilReady(p, log);
        const QString debugOutput = QString::fromUtf8(p->readAllStandardError());
        QVERIFY2(ready, qPrintable(debugOutput));

        QVERIFY(QFile::exists(m_app + QStringLiteral("/orvalo.db")));
        QCOMPARE(userVersionOf(m_app + QStringLiteral("/orvalo.db")), 7);
        QCOMPARE(readAll(m_app + QStringLiteral("/settings")),
            QStringLiteral("DatabasePath=") + m_app + QStringLiteral("/orvalo.db\n"));

        const QStringList lines = readAll(log).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        const QRegularExpression format(QStringLiteral(
            "^\\[\\d\\d-[A-Z][a-z]{2}-\\d{4} \\d\\d:\\d\\d:\\d\\d\\]\\[[^\\]]+\\.cpp:\\d+\\] "));
        // The SIP stack's own lines are written as the stack formats them.
        const QRegularExpression stackLine(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3} "));
        int ownLines = 0;
        for (const QString &line : lines) {
            if (stackLine.match(line).hasMatch())
                continue;
            QVERIFY2(format.match(line).hasMatch(), qPrintable(line));
            ++ownLines;
        }
        QVERIFY(ownLines >= 4);
        const QString text = lines.join(QLatin1Char('\n'));
        for (const char *early : {"Application started", "Settings initialised", "Database initialised"}) {
            QVERIFY2(!text.contains(QLatin1String(early)), early);
            QVERIFY2(debugOutput.contains(QLatin1String(early)), early);
        }
        const QRegularExpression timedMilestone(
            QStringLiteral("\\] [0-9.e+-]+ Initialising Orvalo$"), QRegularExpression::MultilineOption);
        QVERIFY(timedMilestone.match(text).hasMatch());
        QVERIFY(text.contains(QStringLiteral(" Orvalo initialised")));
        QVERIFY(text.contains(QStringLiteral(" Initialisation complete")));
        QVERIFY(debugOutput.contains(QStringLiteral("Database: disconnected OK")));
    }

    void missingTextFontStopsWithStatusOne()
    {
        QProcess *p
            = start({}, {{QStringLiteral("ORVALO_FONT_DIR"), m_root->filePath(QStringLiteral("nofonts"))}});
        QCOMPARE(exitCodeOf(p), 1);
        QVERIFY(p->readAllStandardError().contains("Failed to load fonts"));
        QVERIFY(!QFile::exists(m_app + QStringLiteral("/orvalo.db")));
    }

    void refusedDatabases_data()
    {
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("newer version")
            << QByteArray("v8") << QStringLiteral("DB Version is higher than the executable's");
        QTest::newRow("not a database") << QByteArray("text") << QStringLiteral("Database Error");
    }

    void refusedDatabases()
    {
        QFETCH(QByteArray, kind);
        QFETCH(QString, message);
        const QString path = m_root->filePath(QStringLiteral("data.db"));
        if (kind == "v8") {
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("v8"));
                db.setDatabaseName(path);
                QVERIFY(db.open());
                QSqlQuery q(db);
                QVERIFY(
                    q.exec(QStringLiteral("CREATE TABLE cdr (cdrid integer primary key, remotecli text)")));
                QVERIFY(q.exec(QStringLiteral("INSERT INTO cdr (remotecli) VALUES ('precious')")));
                QVERIFY(q.exec(QStringLiteral("PRAGMA user_version = 8")));
            }
            QSqlDatabase::removeDatabase(QStringLiteral("v8"));
        } else {
            writeFile(path, QByteArray("not sqlite at all\n").repeated(100));
        }
        const QByteArray before = readAll(path).toUtf8();
        writeFile(m_app + QStringLiteral("/settings"), "DatabasePath=" + path.toUtf8() + "\n");

        QProcess *p = start();
        QCOMPARE(exitCodeOf(p), 1);
        const QString err = QString::fromUtf8(p->readAllStandardError());
        QVERIFY2(err.contains(message), qPrintable(err));
        QCOMPARE(readAll(path).toUtf8(), before);
        QVERIFY(!QFile::exists(m_app + QStringLiteral("/orvalo.db"))
            || QFileInfo(m_app + QStringLiteral("/orvalo.db")).size() == 0);
    }

    void readOnlyApplicationDirectory()
    {
        // A read-only bind mount in a private mount namespace (root ignores file modes).
        const QString script
            = QStringLiteral("mount --bind \"$0\" \"$0\" && mount -o remount,bind,ro \"$0\" && exec \"$1\"");
        QProcess probe;
        probe.start(QStringLiteral("unshare"), {QStringLiteral("-rm"), QStringLiteral("true")});
        if (!probe.waitForFinished(5000) || probe.exitCode() != 0)
            QSKIP("mount namespaces are not available here");

        QProcess *p = start({QStringLiteral("unshare"), QStringLiteral("-rm"), QStringLiteral("sh"),
            QStringLiteral("-c"), script, m_app});
        const QString dataDir = m_home + QStringLiteral("/orvalo");
        QVERIFY2(runUntilReady(p, dataDir + QStringLiteral("/log")), p->readAllStandardError().constData());
        QCOMPARE(userVersionOf(dataDir + QStringLiteral("/orvalo.db")), 7);
        QVERIFY(
            readAll(dataDir + QStringLiteral("/settings")).contains(dataDir + QStringLiteral("/orvalo.db")));
        QCOMPARE(QDir(m_app).entryList(QDir::Files), QStringList {QStringLiteral("orvalo")});
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
