#include "diagnosticsui/connectiontesterdialog.h"

#include <QTextCursor>

#include "diagnostics/connectiontester.h"
#include "ui_connectiontesterdialog.h"

ConnectionTesterDialog::ConnectionTesterDialog(Settings &settings, dbmgr &db, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::ConnectionTesterDialog>())
    , m_tester(std::make_unique<ConnectionTester>(settings, db))
{
    ui->setupUi(this);
    connect(m_tester.get(), &ConnectionTester::html, this, &ConnectionTesterDialog::append);
}

ConnectionTesterDialog::~ConnectionTesterDialog() = default;

void ConnectionTesterDialog::on_button_start_clicked()
{
    m_tester->start();
}

void ConnectionTesterDialog::on_button_stop_clicked()
{
    m_tester->stop();
}

void ConnectionTesterDialog::on_button_clear_clicked()
{
    ui->results->clear();
}

void ConnectionTesterDialog::append(const QString &piece)
{
    // Always at the end, wherever the user last clicked in the results.
    ui->results->moveCursor(QTextCursor::End);
    ui->results->insertHtml(piece);
}
