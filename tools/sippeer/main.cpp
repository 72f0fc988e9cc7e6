// sippeer: a scripted SIP peer for the loopback test bed. See README.md.

#include <csignal>
#include <cstdio>
#include <unistd.h>

#include <QCoreApplication>

#include "eventline.h"
#include "peer.h"
#include "peeroptions.h"

int main(int argc, char *argv[])
{
    // Events get the real stdout to themselves; whatever the library prints on stdout goes to
    // stderr with its log.
    const int eventsFd = ::dup(STDOUT_FILENO);
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
    FILE *events = ::fdopen(eventsFd, "w");
    EventLine::setStream(events ? events : stderr);
    std::signal(SIGPIPE, SIG_IGN);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("sippeer"));
    PeerOptions options;
    QString error;
    if (!options.parse(app, &error)) {
        std::fprintf(stderr, "sippeer: %s\n", qPrintable(error));
        EventLine("error").add("what", "options").add("text", error).emitLine();
        return 2;
    }
    Peer peer(options);
    QObject::connect(&peer, &Peer::finished, &app, [&app](int code) { app.exit(code); });
    if (!peer.start())
        return 1;
    return app.exec();
}
