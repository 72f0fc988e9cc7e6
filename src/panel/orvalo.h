#pragma once

#include <memory>

#include <QMainWindow>
#include <QSystemTrayIcon>

namespace Ui {
class Orvalo;
}

class QLabel;
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

    Ui::Orvalo *form() const { return ui.get(); }

    QLabel *footerLabel() const { return m_footer; }

    // The widget whose layout receives every call label.
    QWidget *callArea() const;

    // Applies the options: menu entries, tabs, footer, recent calls box.
    void checkSettings();

signals:
    void quit();

public slots:
    void on_actionExit_2_triggered();
    void iconActivated(QSystemTrayIcon::ActivationReason reason);
    void on_actionAbout_triggered();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void setupTray();
    void setupLayout();
    void applyStoredSize();
    void updateFooter();
    void updateRecentCallsBox();
    void updateTabs();

    std::unique_ptr<Ui::Orvalo> ui;
    dbmgr &m_db;
    Settings &m_settings;
    Asset &m_asset;
    QSystemTrayIcon *m_trayIcon = nullptr;
    bool m_quitting = false;
    QLabel *m_footer = nullptr;
};
