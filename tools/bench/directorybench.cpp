// The directory benchmark of `make bench`, in three modes:
//   directorybench [ENTRIES]        1,000 entries (or ENTRIES) in 20 departments written to a fresh
//                                   database, built into tabs and tiles (every tile subscribed,
//                                   through a stand-in for the engine), the idle once-a-second
//                                   refresh, and one presence change to the tile's new colour.
//                                   Prints "directory key=value ..." lines.
//   directorybench --write DIR [--entries N] [--server HOST:PORT]
//                                   writes the same directory into the database of the panel folder
//                                   DIR, as the cloud's provisioning does, for the panel benchmark.
//   directorybench --screenshot FILE.png
//                                   renders the directory's tab widget as the panel builds it, a
//                                   few departments with tiles coloured by presence (README).
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFont>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTextStream>

#include "app/startup.h"
#include "cloud/directoryreply.h"
#include "cloud/directorywriter.h"
#include "core/dbmgr.h"
#include "core/settings.h"
#include "panel/companydevice.h"
#include "panel/directory.h"
#include "widgets/clickablelabel.h"
#include "widgets/kestabwidget.h"

namespace {

// The cloud's reply for `entries` extensions from 2000 on, in 20 departments (half of them
// tenants), all on `server`.
QString generatedReply(int entries, const QString &server)
{
    QJsonArray list;
    for (int i = 0; i < entries; ++i) {
        const int department = i % 20;
        list.append(QJsonObject {{QStringLiteral("phoneuserfirstname"), QStringLiteral("First%1").arg(i)},
            {QStringLiteral("phoneusersecondname"), QStringLiteral("Second")},
            {QStringLiteral("extensionnumber"), QString::number(2000 + i)},
            {QStringLiteral("serveripaddress"), server},
            {QStringLiteral("tenantmode"), department < 10 ? QStringLiteral("0") : QStringLiteral("1")},
            {QStringLiteral("tabheading"),
                QStringLiteral("Department %1").arg(department + 1, 2, 10, QLatin1Char('0'))},
            {QStringLiteral("directoryindex"), QString::number(3000 + department)}});
    }
    return QString::fromUtf8(QJsonDocument(
        QJsonObject {{QStringLiteral("company_devices"),
            list}}).toJson(QJsonDocument::Compact));
}

void write(dbmgr &db, const QString &reply)
{
    DirectoryWriter writer(db);
    writer.writeRows(writer.storeDepartments(readDirectoryReply(reply).entries));
}

// The tab strip as the main window has it: the directory's tabs go in front of these.
void addFixedTabs(KesTabWidget &tabs)
{
    for (const char *title : {"", "Speed dials", "Contact details", "Call progress"})
        tabs.addTab(new QWidget, QString::fromLatin1(title));
    static_assert(Directory::FixedTabs == 4);
}

int writeInto(const QString &folder, int entries, const QString &server)
{
    Settings settings(folder);
    dbmgr db(settings);
    if (!db.open())
        return 1;
    write(db, generatedReply(entries, server));
    return 0;
}

int screenshot(const QString &file)
{
    QTemporaryDir dir;
    Settings settings(dir.path());
    dbmgr db(settings);
    if (!db.open())
        return 1;

    struct Person
    {
        const char *first;
        const char *second;
        const char *extension;
        const char *phone;
        const char *department;
    };

    const Person people[] = {{"Anna", "Berg", "201", "+44 20 7946 0101", "Front desk"},
        {"Ben", "Carter", "202", "", "Front desk"}, {"Chloe", "Dubois", "203", "", "Front desk"},
        {"Daniel", "Evans", "204", "+44 20 7946 0104", "Front desk"},
        {"Emma", "Fischer", "205", "", "Front desk"}, {"Farid", "Ghani", "206", "", "Front desk"},
        {"Grace", "Hall", "207", "", "Front desk"}, {"Hugo", "Ivanov", "208", "", "Front desk"},
        {"Isla", "Jones", "209", "", "Front desk"}, {"Jonas", "Klein", "210", "", "Front desk"},
        {"Mobile", "Reception", "", "+44 7700 900123", "Front desk"}, {"Karin", "Lund", "301", "", "Sales"},
        {"Leo", "Moreau", "302", "", "Sales"}, {"Mia", "Novak", "401", "", "Support"},
        {"Noah", "Olsen", "402", "", "Support"}, {"Olga", "Petrova", "501", "", "Warehouse"}};
    QJsonArray list;
    for (const Person &p : people) {
        QJsonObject entry {{QStringLiteral("phoneuserfirstname"), QString::fromUtf8(p.first)},
            {QStringLiteral("phoneusersecondname"), QString::fromUtf8(p.second)},
            {QStringLiteral("serveripaddress"), QStringLiteral("pbx.example.com")},
            {QStringLiteral("tenantmode"), QStringLiteral("0")},
            {QStringLiteral("tabheading"), QString::fromUtf8(p.department)},
            {QStringLiteral("greeting"),
                QString(QStringLiteral("Good morning, ") + QString::fromUtf8(p.department))},
            {QStringLiteral("directoryindex"), QStringLiteral("10")}};
        if (*p.extension)
            entry.insert(QStringLiteral("extensionnumber"), QString::fromUtf8(p.extension));
        if (*p.phone)
            entry.insert(QStringLiteral("userphone"), QString::fromUtf8(p.phone));
        list.append(entry);
    }
    write(db,
        QString::fromUtf8(QJsonDocument(QJsonObject {{QStringLiteral("company_devices"), list}}).toJson()));

    // The panel's text font (Inter at 18 pixels); the tiles set their own size.
    QFont font(QStringLiteral("Inter"));
    font.setPixelSize(18);
    QApplication::setFont(font);
    KesTabWidget tabs;
    addFixedTabs(tabs);
    int next = 0;
    Directory directory(
        db, tabs, [&next](const QString &) { return next++; }, [](int) {});
    directory.build(true);
    tabs.setCurrentIndex(0);
    directory.addAllBuddies();
    // What the engine would report for the first tab's extensions; the rest stay unknown (gray).
    const char *states[] = {"Available", "Ringing", "On the phone", "Available", "Busy", "?", "Available",
        "On Hold", "Available", "Offline"};
    int i = 0;
    for (const auto &tile : directory.tiles()) {
        if (tile->getBuddyId() >= 0 && i < int(std::size(states)))
            directory.onBuddyState(unsigned(tile->getBuddyId()), QString::fromLatin1(states[i++]), 1);
    }
    directory.updateLabels();
    tabs.resize(760, 330);
    tabs.show();
    QApplication::processEvents();
    return tabs.grab().save(file) ? 0 : 1;
}

int standIn(QApplication &app, int entries)
{
    QTemporaryDir dir;
    Settings settings(dir.path());
    dbmgr db(settings);
    if (!db.open())
        return 1;

    const QString reply = generatedReply(entries, QStringLiteral("127.0.0.1:5070"));
    QElapsedTimer timer;
    timer.start();
    write(db, reply);
    const qint64 writeMs = timer.elapsed();

    KesTabWidget tabs;
    addFixedTabs(tabs);
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
    const bool gold = target.colour() == QLatin1String("gold");

    QTextStream(stdout) << "directory entries=" << entries << " tabs=" << tabs.count() - Directory::FixedTabs
                        << " subscribed=" << next << " write_ms=" << writeMs << " build_ms=" << buildMs
                        << " idle_refresh_ms=" << QString::number(idleMs, 'f', 2)
                        << " idle_redraws=" << (after - before)
                        << " presence_ms=" << QString::number(presenceMs, 'f', 2)
                        << " presence_colour=" << (gold ? "gold" : "wrong") << "\n";
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // Styled as the panel is: every widget goes through the application's style sheet.
    app.setStyleSheet(applicationStyleSheet());
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("write"), QStringLiteral("Write the directory into DIR's database."),
        QStringLiteral("DIR")});
    parser.addOption({QStringLiteral("entries"), QStringLiteral("Entries to write (1000)."),
        QStringLiteral("N"), QStringLiteral("1000")});
    parser.addOption({QStringLiteral("server"), QStringLiteral("The entries' server (127.0.0.1:5070)."),
        QStringLiteral("HOST:PORT"), QStringLiteral("127.0.0.1:5070")});
    parser.addOption({QStringLiteral("screenshot"), QStringLiteral("Render a small directory into FILE."),
        QStringLiteral("FILE")});
    parser.addPositionalArgument(QStringLiteral("entries"), QStringLiteral("Entries of the stand-in run."));
    parser.process(app);

    if (parser.isSet(QStringLiteral("write")))
        return writeInto(parser.value(QStringLiteral("write")),
            parser.value(QStringLiteral("entries")).toInt(), parser.value(QStringLiteral("server")));
    if (parser.isSet(QStringLiteral("screenshot")))
        return screenshot(parser.value(QStringLiteral("screenshot")));
    const QStringList args = parser.positionalArguments();
    return standIn(app, args.isEmpty() ? 1000 : args.first().toInt());
}
