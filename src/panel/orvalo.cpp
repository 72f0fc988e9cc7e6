#include "panel/orvalo.h"

#include <QCloseEvent>
#include <QMenu>
#include <QStyle>

#include "core/asset.h"
#include "core/dbmgr.h"
#include "core/log.h"
#include "core/prompt.h"
#include "core/settings.h"
#include "ui_orvalo.h"

Orvalo::Orvalo(dbmgr &db, Settings &settings, Asset &asset, QWidget *parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::Orvalo>())
    , m_db(db)
    , m_settings(settings)
    , m_asset(asset)
{
    LOG(QStringLiteral("Setting up UI"));
    ui->setupUi(this);
    LOG(QStringLiteral("Setup complete"));
    setupLayout();
    setupTray();
    checkSettings();
    applyStoredSize();
    LOG_T(QStringLiteral("Main window constructed"));
}

Orvalo::~Orvalo() = default;

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

void Orvalo::callconnects() { }

void Orvalo::show_login_if_not_loggedin() { }

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
