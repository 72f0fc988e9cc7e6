#include "panel/orvalo.h"

#include <QCloseEvent>
#include <QDir>
#include <QMenu>
#include <QMessageBox>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>

#include "cloud/kesapi.h"
#include "cloud/redmine.h"
#include "core/asset.h"
#include "core/dbmgr.h"
#include "core/log.h"
#include "core/prompt.h"
#include "core/settings.h"
#include "core/starttrace.h"
#include "diagnostics/qualitysampler.h"
#include "engine/sipdialer.h"
#include "messaging/imhandler.h"
#include "panel/account.h"
#include "panel/contactlookup.h"
#include "panel/directory.h"
#include "ui_orvalo.h"
#include "widgets/dialpaddialog.h"

Orvalo::Orvalo(dbmgr &db, Settings &settings, Asset &asset, QWidget *parent)
    : QMainWindow(parent)
    , m_dialer(std::make_unique<SipDialer>(settings))
    , m_kesapi(std::make_unique<Kesapi>(settings))
    , m_redmine(std::make_unique<Redmine>(settings))
    , m_contactLookup(std::make_unique<ContactLookup>(settings))
    , m_imHandler(std::make_unique<IMHandler>(*m_dialer, db, ChatStore::defaultFolder(settings.getpwd())))
    , ui(std::make_unique<Ui::Orvalo>())
    , m_db(db)
    , m_settings(settings)
    , m_asset(asset)
    , m_dialpad(std::make_unique<DialpadDialog>())
{
    SipDialer *dialer = m_dialer.get();
    connect(dialer, &SipDialer::onRegistrationChanged, this, &Orvalo::onRegistrationChanged);
    connect(dialer, &SipDialer::onCalltransferChanged, this, &Orvalo::onCalltransferChanged);
    connect(dialer, &SipDialer::onTransferRefused, this, [this](int callId) { transferRefused(callId); });
    connect(dialer, &SipDialer::onIncomingCall, this, &Orvalo::onIncomingCall);
    connect(dialer, &SipDialer::onCallTerminated, this, &Orvalo::onCallTerminated, Qt::QueuedConnection);
    connect(dialer, &SipDialer::onCallstateChanged, this, &Orvalo::onCallstateChanged);
    connect(dialer, &SipDialer::onErrorState, this, &Orvalo::onErrorState);
    connect(dialer, &SipDialer::onMessagesWaiting, this, &Orvalo::onMessagesWaiting);
    connect(dialer, &SipDialer::onBuddyState, this, &Orvalo::onBuddyState);
    connect(dialer, &SipDialer::onCallmediaChanged, this, &Orvalo::onCallmediaChanged);
    // Without an engine there is nothing to show: the reason was shown once (onErrorState) and the
    // caller ends the process. Going on would add one more error for each extension registered.
    StartTrace::mark("window parts");
    if (!dialer->init() || m_startFailed) {
        m_startFailed = true;
        return;
    }

    StartTrace::mark("engine");
    LOG(QStringLiteral("Setting up UI"));
    ui->setupUi(this);
    LOG(QStringLiteral("Setup complete"));
    qRegisterMetaType<orvalo_acc_msg>("orvalo_acc_msg");
    qRegisterMetaType<orvalo_call_info>("orvalo_call_info");
    StartTrace::mark("form");
    setupLayout();
    setupDirectory();
    setupChat();
    StartTrace::mark("directory and chat");
    setupRecentCalls();
    reportTakenSipPort();

    connect(
        ui->extensionsTable, &QWidget::customContextMenuRequested, this, &Orvalo::showExtensionContextMenu);
    connect(&m_accountTimer, &QTimer::timeout, this, &Orvalo::updateAccounts);
    m_accountTimer.start(1000);

    StartTrace::mark("recent calls");
    load_extensions();
    StartTrace::mark("extensions");
    load_speeddials();
    load_companydevices();

    StartTrace::mark("speed dials and directory tiles");
    connect(m_dialpad.get(), &DialpadDialog::clicked, this, &Orvalo::add_to_dialstring);
    connect(m_dialpad.get(), &DialpadDialog::dial_phonenumber, this, &Orvalo::on_DialButton_clicked);
    connect(m_dialpad.get(), &DialpadDialog::clear_phonenumber, this, &Orvalo::clear_phonenumber);
    setupTray();
    setupShortcuts();
    checkSettings();
    restoreLoginState();
    applyStoredSize();

    m_messageBox = new QMessageBox(this);
    if (m_settings.getSetting(Settings::UserDir).isEmpty()) {
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        m_settings.setSetting(Settings::UserDir, documents + QStringLiteral("/Orvalo Recordings"));
    }
    m_redialTimer.setSingleShot(true);
    m_redialTimer.setInterval(2000);
    m_recentCallsReload.setSingleShot(true);
    m_recentCallsReload.setInterval(RecentCallsReloadMs);
    connect(&m_recentCallsReload, &QTimer::timeout, this, [this] { reloadRecentCalls(); });
    refresh_call_control();
    // The extensions' REGISTERs leave now: their answers come in while the window is shown.
    m_dialer->iterateNow();
    LOG_T(QStringLiteral("Main window constructed"));
}

Orvalo::~Orvalo()
{
    m_accountTimer.stop();
    removeAllBuddies();
    for (const auto &account : m_accounts) {
        if (account->getPjId() >= 0)
            m_dialer->unregisterAccount(account->getPjId());
    }
    m_accounts.clear();
}

void Orvalo::callconnects()
{
    connect(this, &Orvalo::onAnswerButtonSignal, m_dialer.get(), &SipDialer::onAnswerButtonSlot);
    connect(this, &Orvalo::onRejectButtonSignal, m_dialer.get(), &SipDialer::onRejectButtonSlot);
    connect(this, &Orvalo::onHangupButtonSignal, m_dialer.get(), &SipDialer::onHangupButtonSlot);
    connect(this, &Orvalo::onHoldToggleButtonSignal, m_dialer.get(), &SipDialer::onHoldToggleButtonSlot);
    connect(this, &Orvalo::onMuteToggleButtonSignal, m_dialer.get(), &SipDialer::onMuteToggleButtonSlot);
    connect(this, &Orvalo::onTransferButtonSignal, m_dialer.get(), &SipDialer::onTransferButtonSlot);
}

void Orvalo::setupTray()
{
    m_trayIcon = new QSystemTrayIcon(style()->standardIcon(QStyle::SP_ComputerIcon), this);
    m_trayIcon->setToolTip(QStringLiteral("Orvalo"));
    auto *menu = new QMenu(this);
    menu->addAction(QStringLiteral("Open"), this, &QWidget::show);
    menu->addAction(QStringLiteral("Close"), this, &Orvalo::on_actionExit_2_triggered);
    m_trayIcon->setContextMenu(menu);
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, &Orvalo::iconActivated);
}

void Orvalo::closeEvent(QCloseEvent *event)
{
    if (isVisible() && !m_quitting) {
        event->ignore();
        hide();
        m_trayIcon->show();
        m_trayIcon->showMessage(QStringLiteral("Orvalo"), QStringLiteral("Moved to system tray"),
            QSystemTrayIcon::Information, 2000);
        return;
    }
    QMainWindow::closeEvent(event);
}

void Orvalo::iconActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason != QSystemTrayIcon::Trigger)
        return;
    if (isVisible())
        hide();
    else
        show();
}

void Orvalo::on_actionExit_2_triggered()
{
    if (!Prompt::confirm(QStringLiteral("Exit"), QStringLiteral("Are you sure?")))
        return;
    m_trayIcon->hide();
    const QString w = QString::number(width());
    const QString h = QString::number(height());
    if (!m_settings.checkSetting(Settings::MainWindowWidth, w)
        || !m_settings.checkSetting(Settings::MainWindowHeight, h)) {
        if (Prompt::confirm(QStringLiteral("Save new settings?"),
                QStringLiteral("The application has been resized. Click Yes to save the new window size"))) {
            m_settings.setSetting(Settings::MainWindowWidth, w);
            m_settings.setSetting(Settings::MainWindowHeight, h);
        }
    }
    m_quitting = true;
    emit quit();
}

// Another program (often a second softphone) holds the SIP port: the engine took a free one, which
// registrars learn from each registration; say so where the operator sees it.
void Orvalo::reportTakenSipPort()
{
    const int used = m_dialer->sipPort();
    const int requested = m_dialer->requestedSipPort();
    if (used <= 0 || used == requested)
        return;
    const QString text = QStringLiteral("SIP port ") + QString::number(requested)
        + QStringLiteral(" is in use by another program: using port ") + QString::number(used)
        + QStringLiteral(" instead");
    LOG(text);
    statusBar()->showMessage(text, 30000);
}
