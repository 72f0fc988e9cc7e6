#include "growthphase.h"

#include <algorithm>
#include <cstdio>

#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>

#include "benchprocess.h"
#include "benchsipp.h"

namespace bench {

namespace {

struct CallRecords
{
    qint64 lastId = -1; // -1: not read
    int rows = 0;
    int complete = 0;
};

// The agent's call records after `afterId`, read from its database without writing to it.
CallRecords readCallRecords(const QString &path, qint64 afterId)
{
    CallRecords records;
    if (path.isEmpty() || !QFile::exists(path))
        return records;
    const QString connection = QStringLiteral("growth-cdr");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
        if (db.open()) {
            QSqlQuery query(db);
            query.prepare(QStringLiteral(
                "SELECT COALESCE(MAX(cdrid), 0), COUNT(*), COALESCE(SUM(hangupdatetime IS NOT NULL "
                "AND disposition IS NOT NULL AND disposition != '' AND sipresponsecode > 0), 0) "
                "FROM cdr WHERE cdrid > :after"));
            query.bindValue(QStringLiteral(":after"), afterId);
            if (query.exec() && query.next()) {
                records.lastId = std::max(afterId, query.value(0).toLongLong());
                records.rows = query.value(1).toInt();
                records.complete = query.value(2).toInt();
            }
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return records;
}

// The resident memory as the median of a few samples, so that one allocation in flight does not
// decide the figure, and where the median sample's memory is (" anon=.. file=..").
struct Rss
{
    int kb = 0;
    QString parts;
};

Rss settledRss(qint64 pid)
{
    QList<Rss> samples;
    for (int i = 0; i < 5; ++i) {
        samples.append({rssKb(pid), rssParts(pid)});
        wait(200);
    }
    std::sort(samples.begin(), samples.end(), [](const Rss &a, const Rss &b) { return a.kb < b.kb; });
    return samples.at(samples.size() / 2);
}

} // namespace

void growthPhase(const Sipp &sipp, const GrowthOptions &o, qint64 pid)
{
    const int calls = std::max(o.calls, o.baseline + 1);
    const CallRecords before = readCallRecords(o.cdrDatabase, 0);
    const QString log = sipp.workDir + QStringLiteral("/growth.log");
    Rss baseRss;
    int baseCalls = 0;
    // Every call rings and ends within a few seconds; the whole run takes about calls / rate.
    const int timeout = calls / std::max(1, o.rate) + 60;
    const int code = sipp.run(
        {QStringLiteral("-sf"), o.scenario, QStringLiteral("-s"), o.user, QStringLiteral("-m"),
            QString::number(calls), QStringLiteral("-r"), QString::number(o.rate), QStringLiteral("-l"),
            QStringLiteral("16"), QStringLiteral("-d"), QString::number(o.ringMs),
            QStringLiteral("-trace_logs"), QStringLiteral("-log_file"), log},
        timeout, [&](QProcess &process) {
            // The baseline: once the first calls have been placed and have ended.
            QElapsedTimer timer;
            timer.start();
            const qint64 baselineMs = qint64(o.baseline) * 1000 / std::max(1, o.rate) + o.ringMs + 1500;
            while (timer.elapsed() < baselineMs && process.state() != QProcess::NotRunning)
                wait(100);
            baseRss = settledRss(pid);
            baseCalls = int(std::min<qint64>(calls, timer.elapsed() * o.rate / 1000));
        });
    // The last calls end, the agent writes their records and frees what it frees.
    wait(3000);
    const Rss endRss = settledRss(pid);
    int rang = 0;
    QFile file(log);
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : file.readAll().split('\n'))
            rang += line.contains(" ringing") ? 1 : 0;
    }
    const CallRecords records = readCallRecords(o.cdrDatabase, std::max<qint64>(before.lastId, 0));
    const int measured = calls - baseCalls;
    const double growth = measured > 0 ? double(endRss.kb - baseRss.kb) * 1000.0 / measured : 0;
    std::printf("%s growth calls=%d rang=%d sipp=%d base_calls=%d rss_base_kb=%d rss_end_kb=%d "
                "growth_kib_per_1000=%.1f cdr=%s cdr_complete=%s base:%s end:%s\n",
        qPrintable(o.name), calls, rang, code, baseCalls, baseRss.kb, endRss.kb, growth,
        records.lastId < 0 ? "n/a" : qPrintable(QString::number(records.rows)),
        records.lastId < 0 ? "n/a" : qPrintable(QString::number(records.complete)), qPrintable(baseRss.parts),
        qPrintable(endRss.parts));
    std::fflush(stdout);
}

} // namespace bench
