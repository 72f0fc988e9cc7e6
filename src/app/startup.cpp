#include "app/startup.h"

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QResource>
#include <QSocketNotifier>

#include "core/log.h"
#include "core/prompt.h"

namespace {
int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[0], &byte, 1);
}
} // namespace

namespace {
// A font of the resource bundle is registered in place: the bundle is stored uncompressed, and its
// pages are shared with the executable's file instead of being copied to the heap as a file read
// would. Other fonts are registered by path.
int addFont(const QString &path)
{
    if (path.startsWith(QLatin1Char(':'))) {
        const QResource resource(path);
        if (resource.isValid() && resource.compressionAlgorithm() == QResource::NoCompression)
            return QFontDatabase::addApplicationFontFromData(QByteArray::fromRawData(
                reinterpret_cast<const char *>(resource.data()), qsizetype(resource.size())));
    }
    return QFontDatabase::addApplicationFont(path);
}
} // namespace

int loadFonts(const QString &dir)
{
    QString base = dir;
    if (base.isEmpty())
        base = qEnvironmentVariable("ORVALO_FONT_DIR", QStringLiteral(":/fonts/fonts"));
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');

    addFont(base + QStringLiteral("NotoSansSymbols2-Regular.ttf"));
    addFont(base + QStringLiteral("JetBrainsMono-Bold.ttf"));
    const int inter = addFont(base + QStringLiteral("Inter-Regular.otf"));
    if (inter < 0)
        return -1;
    // The style asks for "InterVariable"; Debian ships Inter as static faces.
    const QStringList families = QFontDatabase::applicationFontFamilies(inter);
    if (!families.isEmpty())
        QFont::insertSubstitution(QStringLiteral("InterVariable"), families.first());
    return 0;
}

QString applicationStyleSheet()
{
    return QStringLiteral(
        "QGroupBox { font-weight:bold; border:1px solid #d6dbe2; border-radius:8px; margin-top:10px; "
        "padding:10px }\n"
        "QGroupBox::title { subcontrol-origin: margin; left:10px; padding:0 4px }\n"
        "QPushButton { border-radius:6px; padding:2px; border:1px solid #d6dbe2 }\n"
        "QLineEdit, QComboBox, QDialog, QMainWindow { border-radius: 6px; border: 1px solid #d6dbe2 }\n");
}

void installQuitOnSignals()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, QCoreApplication::instance(), [notifier] {
        char byte = 0;
        [[maybe_unused]] const auto readBytes = ::read(signalPipe[1], &byte, 1);
        notifier->setEnabled(false);
        QCoreApplication::quit();
    });

    struct sigaction action
    { };

    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

bool checkDataDirectory(const QString &dir)
{
    const QFileInfo info(dir);
    if (info.isDir() && info.isWritable())
        return true;
    const QString text = QStringLiteral("Cannot write the data directory ") + dir
        + QStringLiteral(": Orvalo keeps its settings, database and log there. Check that the home "
                         "directory exists and is writable.");
    LOG(text);
    Prompt::critical(QStringLiteral("Orvalo"), text);
    return false;
}
