// The directory benchmark of `make bench`: 1,000 entries in 20 departments written to a fresh
// database, built into tabs and tiles (every tile subscribed, through a stand-in for the engine),
// the idle once-a-second refresh, and one presence change to the tile's new colour. Prints
// "directory key=value ..." lines.
#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTextStream>

#include "cloud/directoryreply.h"
#include "cloud/directorywriter.h"
#include "core/dbmgr.h"
#include "core/settings.h"
#include "panel/companydevice.h"
#include "panel/directory.h"
#include "widgets/clickablelabel.h"
#include "widgets/kestabwidget.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int entries = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000;
    QTemporaryDir dir;
    Settings settings(dir.path());
    dbmgr db(settings);
    if (!db.open())
        return 1;

    QJsonArray list;
    for (int i = 0; i < entries; ++i) {
        const int department = i % 20;
        list.append(QJsonObject {{QStringLiteral("phoneuserfirstname"), QStringLiteral("First%1").arg(i)},
            {QStringLiteral("phoneusersecondname"), QStringLiteral("Second")},
            {QStringLiteral("extensionnumber"), QString::number(2000 + i)},
            {QStringLiteral("serveripaddress"), QStringLiteral("127.0.0.1:5070")},
            {QStringLiteral("tenantmode"), department < 10 ? QStringLiteral("0") : QStringLiteral("1")},
            {QStringLiteral("tabheading"),
                QStringLiteral("Department %1").arg(department + 1, 2, 10, QLatin1Char('0'))},
            {QStringLiteral("directoryindex"), QString::number(3000 + department)}});
    }
    const QString reply = QString::fromUtf8(QJsonDocument(
        QJsonObject {{QStringLiteral("company_devices"),
            list}}).toJson(QJsonDocument::Compact));

    QElapsedTimer timer;
    timer.start();
    DirectoryWriter writer(db);
    writer.writeRows(writer.storeDepartments(readDirectoryReply(reply).entries));
    const qint64 writeMs = timer.elapsed();

    KesTabWidget tabs;
    for (int i = 0; i < Directory::FixedTabs; ++i)
        tabs.addTab(new QWidget, QString());
    tabs.resize(800, 600);
    tabs.show();
    int next = 0;
    Directory directory(
        db, tabs, [&next](const QString &) { return next++; }, [](int) {});
    timer.restart();
    directory.build(true);
    directory.addAllBuddies();
    directory.updateLabels();
    app.processEvents();
    const qint64 buildMs = timer.elapsed();

    // The idle refresh: nothing changed, nothing may be touched.
    int before = 0;
    for (const auto &tile : directory.tiles())
        before += tile->redraws();
    timer.restart();
    for (int i = 0; i < 10; ++i) {
        directory.updateLabels();
        app.processEvents();
    }
    const double idleMs = double(timer.nsecsElapsed()) / 1e6 / 10;
    int after = 0;
    for (const auto &tile : directory.tiles())
        after += tile->redraws();

    // One presence change on a tile of the shown tab, to its colour on screen.
    CompanyDevice &target = *directory.tiles().front();
    timer.restart();
    directory.onBuddyState(unsigned(target.getBuddyId()), QStringLiteral("Ringing"), 1);
    app.processEvents();
    const double presenceMs = double(timer.nsecsElapsed()) / 1e6;
    const bool gold = target.getLabel()->styleSheet().contains(QStringLiteral("background-color: gold;"));

    QTextStream(stdout) << "directory entries=" << entries << " tabs=" << tabs.count() - Directory::FixedTabs
                        << " subscribed=" << next << " write_ms=" << writeMs << " build_ms=" << buildMs
                        << " idle_refresh_ms=" << QString::number(idleMs, 'f', 2)
                        << " idle_redraws=" << (after - before)
                        << " presence_ms=" << QString::number(presenceMs, 'f', 2)
                        << " presence_colour=" << (gold ? "gold" : "wrong") << "\n";
    return 0;
}
