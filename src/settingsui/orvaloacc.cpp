#include "settingsui/orvaloacc.h"

#include <QHeaderView>
#include <QMenu>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlTableModel>

#include "core/dbmgr.h"
#include "core/log.h"
#include "core/prompt.h"
#include "settingsui/orvaloaccdialog.h"
#include "ui_orvaloacc.h"

namespace {
// Header texts by column position of the accounts table.
struct Header
{
    int column;
    const char *text;
};

constexpr Header Headers[] = {
    {1, "Label"},
    {2, "Extension"},
    {4, "SIP User"},
    {6, "Caller ID"},
    {7, "Default"},
    {8, "Sip server"},
    {19, "DTMF"},
    {20, "Active A/C"},
};

// accountid, domain, password, then the server and codec details.
bool isHiddenColumn(int column)
{
    return column == 0 || column == 3 || column == 5 || (column >= 9 && column <= 18);
}
} // namespace

Orvaloacc::Orvaloacc(dbmgr &db, Orvaloaccdialog &editor, QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::Orvaloacc>())
    , m_db(db)
    , m_editor(editor)
    , m_model(new QSqlTableModel(this, db.account_database()))
{
    ui->setupUi(this);
    m_model->setTable(QStringLiteral("accounts"));
    m_model->setEditStrategy(QSqlTableModel::OnFieldChange);
    ui->tableView->setModel(m_model);
    ui->tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui->tableView->setSelectionMode(QAbstractItemView::SingleSelection);

    connect(ui->tableView, &QAbstractItemView::doubleClicked, &m_editor,
        qOverload<const QModelIndex &>(&Orvaloaccdialog::openSlot));
    connect(&m_editor, &Orvaloaccdialog::accountUpdate, this, &Orvaloacc::listAccounts);
    connect(&m_editor, &Orvaloaccdialog::newAccount, this, &Orvaloacc::listAccounts);
    connect(this, &Orvaloacc::removeExtension, &m_editor, &Orvaloaccdialog::updateModel);
    connect(ui->tableView, &QWidget::customContextMenuRequested, this, &Orvaloacc::showContextMenu);
    listAccounts();
}

Orvaloacc::~Orvaloacc() = default;

QTableView *Orvaloacc::view() const
{
    return ui->tableView;
}

void Orvaloacc::open()
{
    listAccounts();
    show();
}

void Orvaloacc::listAccounts()
{
    if (!m_model->select())
        LOG(QStringLiteral("Accounts not listed: ") + m_model->lastError().text());
    for (const Header &header : Headers)
        m_model->setHeaderData(header.column, Qt::Horizontal, QLatin1String(header.text));
    for (int column = 0; column < m_model->columnCount(); ++column)
        ui->tableView->setColumnHidden(column, isHiddenColumn(column));
    ui->tableView->resizeColumnsToContents();
}

void Orvaloacc::showContextMenu(const QPoint &pos)
{
    QMenu menu(this);
    menu.addAction(QStringLiteral("Edit"), this, &Orvaloacc::edit_selected_extension);
    menu.addAction(QStringLiteral("Delete"), this, &Orvaloacc::delete_selected_extension);
    menu.exec(ui->tableView->viewport()->mapToGlobal(pos));
}

void Orvaloacc::edit_selected_extension()
{
    const QModelIndex current = ui->tableView->currentIndex();
    if (!current.isValid()) {
        LOG(QStringLiteral("No extension selected to edit"));
        return;
    }
    m_editor.openSlot(current.row());
}

void Orvaloacc::delete_selected_extension()
{
    const QModelIndex current = ui->tableView->currentIndex();
    if (!current.isValid()) {
        LOG(QStringLiteral("No extension selected to delete"));
        return;
    }
    if (!Prompt::confirm(QStringLiteral("Delete extension"), QStringLiteral("Are you sure?")))
        return;
    const int accountId = m_model->data(m_model->index(current.row(), 0)).toInt();
    QSqlQuery query = m_db.account_query();
    query.prepare(QStringLiteral("DELETE FROM Accounts WHERE accountid = :id"));
    query.bindValue(QStringLiteral(":id"), accountId);
    if (!query.exec())
        LOG(QStringLiteral("Extension ") + QString::number(accountId) + QStringLiteral(" not deleted: ")
            + query.lastError().text());
    else
        LOG(QStringLiteral("Extension ") + QString::number(accountId) + QStringLiteral(" deleted"));
    m_model->select();
    emit removeExtension(accountId);
}

void Orvaloacc::on_button_add_account_clicked()
{
    m_editor.newaccount();
}
