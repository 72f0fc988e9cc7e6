#pragma once

#include <memory>

#include <QMainWindow>
#include <QSystemTrayIcon>

namespace Ui {
class Orvalo;
}

class Asset;
class Settings;
class dbmgr;

// The operator's main window. Closing it only hides it to the system tray; the Exit action asks
// first and then emits quit().
class Orvalo final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Orvalo)

public:
    Orvalo(dbmgr &db, Settings &settings, Asset &asset, QWidget *parent = nullptr);
    ~Orvalo() override;

    void callconnects();
    void show_login_if_not_loggedin();

    QSystemTrayIcon *tray() const { return m_trayIcon; }

signals:
    void quit();

public slots:
    void on_actionExit_2_triggered();
    void iconActivated(QSystemTrayIcon::ActivationReason reason);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void setupTray();

    std::unique_ptr<Ui::Orvalo> ui;
    dbmgr &m_db;
    Settings &m_settings;
    Asset &m_asset;
    QSystemTrayIcon *m_trayIcon = nullptr;
    bool m_quitting = false;
};
