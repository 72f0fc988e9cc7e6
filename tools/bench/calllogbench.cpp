// The call log and the recent calls list over a cdr table of 1,000,000 rows (generated here, in a
// temporary folder, never shipped): time to open the log and show its first page, each filter,
// the recent calls reload, and the memory the open log takes. Prints each figure beside its target.
// Usage: calllogbench [--rows N]   (run offscreen: QT_QPA_PLATFORM=offscreen)
#include <cstdio>
#include <random>

#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QTemporaryDir>
#include <QTextStream>

#include "core/dbmgr.h"
#include "core/log.h"
#include "core/settings.h"
#include "panel/calllogquery.h"
#include "panel/recentcallslist.h"
#include "settingsui/orvalocdrdialog.h"

namespace {

long rssKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return 0;
}

void report(const char *label, double value, double target, const char *unit)
{
    std::printf("  %-40s %8.1f %-4s  target <= %-6g %s\n", label, value, unit, target,
        value <= target ? "pass" : "miss");
}

// Calls over the last two years, newest last, on four accounts; a few rows with unreadable times.
bool generate(QSqlDatabase &db, int rows, int recent)
{
    static const char *dispositions[] = {"Answered", "Answered", "No Answer", "Busy", "Failed"};
    std::mt19937 random(7);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const qint64 span = 2LL * 365 * 24 * 3600;
    db.transaction();
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "INSERT INTO cdr (accountid, remotecli, startdatetime, answerdatetime, hangupdatetime, "
        "callduration, calldirection, disposition) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
    const QString format = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    for (int i = 0; i < rows; ++i) {
        const QDateTime start = now.addSecs(-span + span * i / rows - 120);
        const int talk = int(random() % 600);
        const QString disposition = QLatin1String(dispositions[random() % 5]);
        const bool answered = disposition == QLatin1String("Answered");
        q.addBindValue(int(1 + random() % 4));
        q.addBindValue(QStringLiteral("\"Caller\" <sip:%1@example.com>").arg(1000 + random() % 9000));
        q.addBindValue(i % 100000 == 0 ? QStringLiteral("garbage") : start.toString(format));
        q.addBindValue(answered ? QVariant(start.addSecs(5).toString(format)) : QVariant());
        q.addBindValue(start.addSecs(5 + talk).toString(format));
        q.addBindValue(QStringLiteral("00:%1:%2")
                           .arg(talk / 60, 2, 10, QLatin1Char('0'))
                           .arg(talk % 60, 2, 10, QLatin1Char('0')));
        q.addBindValue(random() % 3 == 0 ? QStringLiteral("O") : QStringLiteral("I"));
        q.addBindValue(disposition);
        if (!q.exec())
            return false;
        if (i == rows - recent - 1) {
            db.commit();
            db.transaction();
        }
    }
    return db.commit();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    int rows = 1000000;
    const QStringList args = QApplication::arguments();
    if (const int i = args.indexOf(QStringLiteral("--rows")); i > 0 && i + 1 < args.size())
        rows = args.at(i + 1).toInt();
    const int recent = 50;

    QTemporaryDir dir;
    Settings settings(dir.path());
    Log::set_output_file(dir.filePath(QStringLiteral("log")));
    dbmgr db(settings);
    if (!db.open())
        return 1;
    QSqlDatabase database = db.database();
    QElapsedTimer timer;
    timer.start();
    if (!generate(database, rows - recent, 0)) {
        std::fprintf(stderr, "could not generate the cdr table\n");
        return 1;
    }
    std::printf("  cdr rows generated: %d in %.1f s\n", rows - recent, timer.elapsed() / 1000.0);
    timer.restart();
    CallLogQuery::ensureIndex(database);
    std::printf(
        "  start-time index built once per database (at start-up): %.0f ms\n", double(timer.elapsed()));

    // Recent calls: the list is created (its cutoff), then this run's calls arrive.
    RecentCallsList list;
    if (!generate(database, recent, 0))
        return 1;
    timer.restart();
    list.reload(10);
    QApplication::processEvents();
    const double recentMs = timer.nsecsElapsed() / 1e6;

    const long rssBefore = rssKb();
    timer.restart();
    Orvalocdrdialog log;
    log.show();
    QApplication::processEvents();
    const double openMs = timer.nsecsElapsed() / 1e6;
    const int firstPage = log.model()->rowCount();

    auto *account = log.findChild<QComboBox *>(QStringLiteral("filter_account"));
    auto *disposition = log.findChild<QComboBox *>(QStringLiteral("filter_disposition"));
    auto *direction = log.findChild<QComboBox *>(QStringLiteral("filter_direction"));
    auto *start = log.findChild<QDateTimeEdit *>(QStringLiteral("filter_startdate"));

    struct Step
    {
        const char *label;
        std::function<void()> set;
    };

    const std::vector<Step> steps {
        {"filter: account", [&] { account->setCurrentIndex(1); }},
        {"filter: disposition Busy", [&] { disposition->setCurrentText(QStringLiteral("Busy")); }},
        {"filter: disposition Congestion (none)",
            [&] { disposition->setCurrentText(QStringLiteral("Congestion")); }},
        {"filter: direction Outbound", [&] { direction->setCurrentText(QStringLiteral("Outbound")); }},
        {"filter: missed calls", [&] { log.showMissedCalls(); }},
        {"filter: one year, all", [&] { start->setDateTime(start->dateTime().addDays(-358)); }},
        {"filter: one year, Congestion (none)",
            [&] { disposition->setCurrentText(QStringLiteral("Congestion")); }},
    };
    std::vector<std::pair<const char *, double>> filterMs;
    for (const Step &step : steps) {
        account->setCurrentIndex(0);
        disposition->setCurrentIndex(0);
        direction->setCurrentIndex(0);
        step.set();
        timer.restart();
        log.reload();
        QApplication::processEvents();
        filterMs.emplace_back(step.label, timer.nsecsElapsed() / 1e6);
    }
    // Scrolling reads further pages; the growth is measured with the log open.
    for (int i = 0; i < 8 && log.model()->canFetchMore(); ++i)
        log.model()->fetchMore();
    const double growthMiB = (rssKb() - rssBefore) / 1024.0;

    std::printf("\n");
    report("call log: open, first page", openMs, 300, "ms");
    std::printf("  (first page: %d rows of the last 7 days)\n", firstPage);
    for (const auto &[label, ms] : filterMs)
        report(label, ms, 200, "ms");
    report("recent calls: load 10", recentMs, 50, "ms");
    report("RSS growth, call log open", growthMiB, 30, "MiB");
    return 0;
}
