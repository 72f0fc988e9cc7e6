// A process killed mid-call (kill -9) leaves its started cdr row in the database, readable and
// intact; the final write simply never happens.
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include "core/dbmgr.h"
#include "core/prompt.h"
#include "core/settings.h"

class TestCdrCrash final : public QObject
{
    Q_OBJECT

private slots:
    void killedMidCallKeepsTheStartedRow();
};

void TestCdrCrash::killedMidCallKeepsTheStartedRow()
{
    ScriptedPrompt prompt;
    Prompt::install(&prompt);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    QProcess holder;
    holder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    holder.start(QStringLiteral(CDRHOLDER_PATH), {dir.path()});
    QVERIFY2(holder.waitForStarted(), qPrintable(holder.errorString()));
    QByteArray line;
    QTRY_VERIFY_WITH_TIMEOUT((line += holder.readAllStandardOutput()).contains('\n'), 30000);
    QVERIFY2(line.startsWith("cdr "), line.constData());
    const int cdrid = line.mid(4).trimmed().toInt();
    QVERIFY(cdrid > 0);

    holder.kill(); // SIGKILL: no destructor runs
    QVERIFY(holder.waitForFinished());
    QCOMPARE(holder.exitStatus(), QProcess::CrashExit);

    // The database is opened again the way the panel does it, from the same directory.
    Settings settings(dir.path());
    dbmgr db(settings);
    QVERIFY(db.open());
    {
        QSqlQuery check = db.query();
        QVERIFY(check.exec(QStringLiteral("PRAGMA integrity_check")));
        QVERIFY(check.next());
        QCOMPARE(check.value(0).toString(), QStringLiteral("ok"));

        QSqlQuery q = db.query();
        QVERIFY(q.exec(QStringLiteral("SELECT cdrid, accountid, tonumber, calldirection, startdatetime, "
                                      "answerdatetime, hangupdatetime, disposition FROM cdr")));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), cdrid);
        QCOMPARE(q.value(1).toInt(), 7);
        QCOMPARE(q.value(2).toString(), QStringLiteral("0312"));
        QCOMPARE(q.value(3).toString(), QStringLiteral("O"));
        const QDateTime start
            = QDateTime::fromString(q.value(4).toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        QVERIFY(start.isValid());
        QVERIFY(!q.value(5).isNull());
        QVERIFY(q.value(6).isNull());
        QVERIFY(q.value(7).isNull());
        QVERIFY(!q.next());
    }
    Prompt::install(nullptr);
}

QTEST_GUILESS_MAIN(TestCdrCrash)
#include "tst_cdrcrash.moc"
