#pragma once

#include <memory>

#include <QDialog>

class ConnectionTester;
class Settings;
class dbmgr;

namespace Ui {
class ConnectionTesterDialog;
}

// The connection tester's window: Start runs the tests, Stop ends them after the running step,
// Clear empties the results. Each piece of the results table is inserted at the end of the
// results as it comes; the window stays responsive while the tests wait.
class ConnectionTesterDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConnectionTesterDialog)

public:
    ConnectionTesterDialog(Settings &settings, dbmgr &db, QWidget *parent = nullptr);
    ~ConnectionTesterDialog() override;

    ConnectionTester &tester() const { return *m_tester; }

private slots:
    void on_button_start_clicked();
    void on_button_stop_clicked();
    void on_button_clear_clicked();

private:
    void append(const QString &piece);

    std::unique_ptr<Ui::ConnectionTesterDialog> ui;
    std::unique_ptr<ConnectionTester> m_tester;
};
