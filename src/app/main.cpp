#include <malloc.h>
#include <memory>

#include <QApplication>
#include <QFileInfo>
#include <QFont>
#include <QSslSocket>
#include <QtDebug>

#include "app/appactivationfilter.h"
#include "app/benchswitches.h"
#include "app/heaptrimmer.h"
#include "app/singleinstance.h"
#include "app/startup.h"
#include "callui/calldialogs.h"
#include "callui/pacedcallwindows.h"
#include "cloudui/faxwindowmanager.h"
#include "cloudui/loginmanager.h"
#include "core/asset.h"
#include "core/dbmgr.h"
#include "core/log.h"
#include "core/prompt.h"
#include "core/settings.h"
#include "core/starttrace.h"
#include "diagnosticsui/diagnosticwindows.h"
#include "engine/sipdialer.h"
#include "messagingui/messagingwindows.h"
#include "panel/orvalo.h"
#include "settingsui/configwindows.h"
#include "settingsui/extensionmanager.h"
#include "settingsui/orvaloacc.h"
#include "settingsui/orvaloaccdialog.h"
#include "transferui/transfermanager.h"
#include "widgets/messageboxprompt.h"

namespace {
// ORVALO_UNATTENDED=1 answers every question with its default button (log only), =yes with Yes/OK:
// for unattended runs and tests of the real binary. Otherwise a person is asked.
std::unique_ptr<Prompt> makePrompt()
{
    const QString mode = qEnvironmentVariable("ORVALO_UNATTENDED");
    if (mode.isEmpty())
        return std::make_unique<MessageBoxPrompt>();
    const bool yes = mode.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0;
    return std::make_unique<ScriptedPrompt>([yes](const Prompt::Question &q) {
        if (!yes)
            return q.defaultButton;
        return (q.buttons & Prompt::Yes) ? Prompt::Yes : Prompt::Ok;
    });
}
} // namespace

int main(int argc, char *argv[])
{
    // The stack's threads would each get a malloc arena of their own, most of it idle: two serve.
    mallopt(M_ARENA_MAX, 2);
    StartTrace::mark("main");
    LOG_T(QStringLiteral("Application started"));
    QApplication app(argc, argv);
    StartTrace::mark("application");

    const std::unique_ptr<Prompt> prompt = makePrompt();
    Prompt::install(prompt.get());
    installQuitOnSignals();

    if (loadFonts() == -1) {
        LOG(QStringLiteral("Failed to load fonts"));
        return 1;
    }

    const QString appDir = QApplication::applicationDirPath();
    StartTrace::mark("fonts");
    Settings settings(appDir);
    LOG_T(QStringLiteral("Settings initialised"));

    const QString dataDir = QFileInfo(settings.settingsFilePath()).absolutePath();
    if (!checkDataDirectory(dataDir))
        return 1;
    SingleInstance instance(dataDir);
    if (instance.claim() == SingleInstance::Role::Secondary)
        return 0; // the running panel was asked to come forward

    StartTrace::mark("single instance");
    dbmgr db(settings);
    LOG_T(QStringLiteral("Database initialised"));

    if (!db.open()) {
        qDebug() << "Failed to open database";
        return 1;
    }

    StartTrace::mark("database");
    settings.loadDefaultSettings();
    Log::set_output_file(settings.getFilePath(QStringLiteral("log")));

    QFont font(QStringLiteral("InterVariable"), 8);
    font.setPixelSize(18);
    QApplication::setFont(font);

    Asset asset(appDir);
    app.setStyleSheet(applicationStyleSheet());

    StartTrace::mark("style");
    ExtensionManager extensions(db);
    DiagnosticWindows diagnostics(settings, db);
    LOG_T(QStringLiteral("Initialising Orvalo"));
    StartTrace::mark("extension and tool windows");
    Orvalo window(db, settings, asset);
    if (!window.startedOk())
        return 1; // the engine could not start; the reason was shown
    StartTrace::mark("main window");
    window.setExtensionWindows(&extensions);
    window.setToolWindows(&diagnostics);
    LoginManager login(window, settings, db);
    window.setLoginWindows(&login);
    MessagingWindows chats(window.imHandler(), settings);
    window.setChatWindows(&chats);
    CallDialogs calls(&window);
    PacedCallWindows pacedCalls(calls);
    window.setCallWindows(&pacedCalls);
    TransferManager transfers(window);
    window.setTransferWindows(&transfers);
    ConfigWindows config(settings, window.engine(), asset, &window);
    window.setSettingsWindows(&config);
    FaxWindowManager fax(settings, window.kesapi());
    window.setFaxWindows(&fax);
    LOG_T(QStringLiteral("Orvalo initialised"));
    StartTrace::mark("other windows");

    app.installEventFilter(new AppActivationFilter(&window));
    QObject::connect(&instance, &SingleInstance::raiseRequested, &window, [&window] {
        window.show();
        window.raise();
        window.activateWindow();
    });

    window.callconnects();
    window.show();
    StartTrace::mark("show");
    window.show_login_if_not_loggedin();

    // Asking for TLS loads its backend and configuration (tens of ms): a second later, after the
    // extensions' first registrations (sent and answered in the event loop).
    QTimer::singleShot(1000, &window, [] {
        if (!QSslSocket::supportsSsl())
            Prompt::critical(QStringLiteral("Warning"), QStringLiteral("OpenSSL not found."));
    });

    QObject::connect(&window, &Orvalo::quit, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    LOG_T(QStringLiteral("Initialisation complete"));
    QApplication::setQuitOnLastWindowClosed(false);

    BenchSwitches bench(window, diagnostics); // off unless the benchmark sets them
    HeapTrimmer heapTrimmer(window.engine());

    QTimer::singleShot(0, &window, [] { StartTrace::mark("event loop"); });
    const int status = QApplication::exec();
    Prompt::install(nullptr);
    return status;
}
