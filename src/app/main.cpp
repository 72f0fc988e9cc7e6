#include <algorithm>
#include <chrono>
#include <malloc.h>
#include <memory>
#include <utility>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QSslSocket>
#include <QtDebug>
#include <QTimer>

#include "app/appactivationfilter.h"
#include "app/singleinstance.h"
#include "app/startup.h"
#include "callui/calldialogs.h"
#include "cloudui/faxwindowmanager.h"
#include "cloudui/loginmanager.h"
#include "core/asset.h"
#include "core/dbmgr.h"
#include "core/log.h"
#include "core/prompt.h"
#include "core/settings.h"
#include "diagnosticsui/diagnosticwindows.h"
#include "diagnosticsui/siplog.h"
#include "engine/sipdialer.h"
#include "messagingui/messagingwindows.h"
#include "panel/companydevice.h"
#include "panel/directory.h"
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

// ORVALO_UI_GAP_LOG=path, for the benchmark: from the first incoming call on, a 10 ms timer on the
// UI thread notes the longest time between two of its ticks, written to path as
// "ui_gap_max_ms value=<ms> ticks=<n>" when the event loop ends. Idle time before is not disturbed.
class UiGapProbe final
{
public:
    explicit UiGapProbe(QString path)
        : m_path(std::move(path))
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longestMs = std::max(m_longestMs, m_sinceTick.restart());
            ++m_ticks;
        });
    }

    void start()
    {
        if (m_timer.isActive())
            return;
        m_sinceTick.start();
        m_timer.start();
    }

    ~UiGapProbe()
    {
        QFile out(m_path);
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            out.write("ui_gap_max_ms value=" + QByteArray::number(m_longestMs)
                + " ticks=" + QByteArray::number(m_ticks) + "\n");
    }

    Q_DISABLE_COPY_MOVE(UiGapProbe)

private:
    QString m_path;
    QTimer m_timer;
    QElapsedTimer m_sinceTick;
    qint64 m_longestMs = 0;
    qint64 m_ticks = 0;
};
} // namespace

int main(int argc, char *argv[])
{
    // The stack's threads would each get a malloc arena of their own, most of it idle: two serve.
    mallopt(M_ARENA_MAX, 2);
    LOG_T(QStringLiteral("Application started"));
    QApplication app(argc, argv);

    const std::unique_ptr<Prompt> prompt = makePrompt();
    Prompt::install(prompt.get());
    installQuitOnSignals();

    if (loadFonts() == -1) {
        LOG(QStringLiteral("Failed to load fonts"));
        return 1;
    }

    const QString appDir = QApplication::applicationDirPath();
    Settings settings(appDir);
    LOG_T(QStringLiteral("Settings initialised"));

    const QString dataDir = QFileInfo(settings.settingsFilePath()).absolutePath();
    if (!checkDataDirectory(dataDir))
        return 1;
    SingleInstance instance(dataDir);
    if (instance.claim() == SingleInstance::Role::Secondary)
        return 0; // the running panel was asked to come forward

    dbmgr db(settings);
    LOG_T(QStringLiteral("Database initialised"));

    if (!db.open()) {
        qDebug() << "Failed to open database";
        return 1;
    }

    settings.loadDefaultSettings();
    Log::set_output_file(settings.getFilePath(QStringLiteral("log")));

    QFont font(QStringLiteral("InterVariable"), 8);
    font.setPixelSize(18);
    QApplication::setFont(font);

    Asset asset(appDir);
    app.setStyleSheet(applicationStyleSheet());

    ExtensionManager extensions(db);
    DiagnosticWindows diagnostics(settings, db);
    LOG_T(QStringLiteral("Initialising Orvalo"));
    Orvalo window(db, settings, asset);
    if (!window.startedOk())
        return 1; // the engine could not start; the reason was shown
    window.setExtensionWindows(&extensions);
    window.setToolWindows(&diagnostics);
    LoginManager login(window, settings, db);
    window.setLoginWindows(&login);
    MessagingWindows chats(window.imHandler(), settings);
    window.setChatWindows(&chats);
    CallDialogs calls(&window);
    window.setCallWindows(&calls);
    TransferManager transfers(window);
    window.setTransferWindows(&transfers);
    ConfigWindows config(settings, window.engine(), asset, &window);
    window.setSettingsWindows(&config);
    FaxWindowManager fax(settings, window.kesapi());
    window.setFaxWindows(&fax);
    LOG_T(QStringLiteral("Orvalo initialised"));

    app.installEventFilter(new AppActivationFilter(&window));
    QObject::connect(&instance, &SingleInstance::raiseRequested, &window, [&window] {
        window.show();
        window.raise();
        window.activateWindow();
    });

    window.callconnects();
    window.show();
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

    // ORVALO_SIP_LOG_CAPTURE=1 opens the SIP log window capturing at the first incoming call, as the
    // benchmark measures it (its idle figure is taken before).
    if (!qEnvironmentVariableIsEmpty("ORVALO_SIP_LOG_CAPTURE")) {
        QObject::connect(
            &window.engine(), &SipDialer::onIncomingCall, &app,
            [&diagnostics, &window] {
                diagnostics.openSipLog(window.engine());
                diagnostics.sipLog()->on_button_startstop_clicked();
            },
            Qt::SingleShotConnection);
    }
    std::unique_ptr<UiGapProbe> gapProbe;
    if (!qEnvironmentVariableIsEmpty("ORVALO_UI_GAP_LOG")) {
        gapProbe = std::make_unique<UiGapProbe>(qEnvironmentVariable("ORVALO_UI_GAP_LOG"));
        QObject::connect(
            &window.engine(), &SipDialer::onIncomingCall, &app, [probe = gapProbe.get()] { probe->start(); });
    }

    // ORVALO_PRESENCE_LOG=file notes when each presence change reached its directory tile, in
    // microseconds since the epoch (the benchmark's NOTIFY -> tile colour figure).
    if (const QString path = qEnvironmentVariable("ORVALO_PRESENCE_LOG"); !path.isEmpty()) {
        auto file = std::make_shared<QFile>(path);
        if (file->open(QIODevice::WriteOnly | QIODevice::Append)) {
            window.directory().setPresenceApplied([file](const CompanyDevice &tile) {
                const auto now = std::chrono::system_clock::now().time_since_epoch();
                file->write(QStringLiteral("presence us=%1 extension=%2 colour=%3\n")
                                .arg(std::chrono::duration_cast<std::chrono::microseconds>(now).count())
                                .arg(tile.getExtension(), tile.colour())
                                .toUtf8());
                file->flush();
            });
        }
    }

    const int status = QApplication::exec();
    gapProbe.reset();
    Prompt::install(nullptr);
    return status;
}
