// Test helper: opens (or creates) the database in the directory given as the only argument,
// starts a call record for an answered outgoing call, prints "cdr <id>" and then waits to be
// killed. Used to show that a process killed mid-call leaves its started row behind.
#include <cstdio>

#include <QCoreApplication>

#include "core/dbmgr.h"
#include "core/settings.h"
#include "panel/callrecord.h"

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: cdrholder <directory>\n");
        return 2;
    }
    Settings settings(QString::fromLocal8Bit(argv[1]));
    dbmgr db(settings);
    if (!db.open())
        return 1;
    Callrecord record(db, 7, QStringLiteral("0312"), CallDirection::Outgoing);
    record.setRemote(QStringLiteral("<sip:0312@pbx.example.com>"));
    record.answered();
    std::printf("cdr %d\n", record.getCdrId());
    std::fflush(stdout);
    return QCoreApplication::exec();
}
