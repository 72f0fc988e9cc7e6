#pragma once

#include <memory>

#include <QWidget>

class Orvaloaccdialog;
class QSqlTableModel;
class QTableView;
class dbmgr;

namespace Ui {
class Orvaloacc;
}

// The list of all accounts rows ("SIP Accounts") with add, edit and delete; edits go through
// the account editor it is bound to, so the list itself is read-only.
class Orvaloacc final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Orvaloacc)

public:
    Orvaloacc(dbmgr &db, Orvaloaccdialog &editor, QWidget *parent = nullptr);
    ~Orvaloacc() override;

    // Re-reads the list and shows the window.
    void open();

    QTableView *view() const;

public slots:
    void listAccounts();
    void showContextMenu(const QPoint &pos);
    void edit_selected_extension();
    // Asks first; then deletes the selected row and emits removeExtension with its id.
    void delete_selected_extension();
    void on_button_add_account_clicked();

signals:
    void removeExtension(int accountid);

private:
    std::unique_ptr<Ui::Orvaloacc> ui;
    dbmgr &m_db;
    Orvaloaccdialog &m_editor;
    QSqlTableModel *m_model;
};
