#pragma once

#include <QDialog>

#include "panel/calllogquery.h"

class QComboBox;
class QDateTimeEdit;
class QLabel;
class QPushButton;
class QSqlQueryModel;
class QTableView;

// The call log: ended calls from the cdr table, newest first, filtered by time range,
// disposition, account and direction. The model reads rows as the table scrolls.
class Orvalocdrdialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Orvalocdrdialog)

public:
    explicit Orvalocdrdialog(QWidget *parent = nullptr);
    ~Orvalocdrdialog() override;

    // The filters as chosen in the form.
    CallLogFilter filter() const;

    QSqlQueryModel *model() const { return m_model; }

    QTableView *view() const { return m_view; }

public slots:
    void on_filterbutton_clicked();
    void on_exit_button_clicked();
    void showMissedCalls();
    void reload();

private:
    void buildForm();
    void fillAccounts();

    QSqlQueryModel *m_model = nullptr;
    QDateTimeEdit *m_start = nullptr;
    QDateTimeEdit *m_end = nullptr;
    QComboBox *m_account = nullptr;
    QComboBox *m_disposition = nullptr;
    QComboBox *m_direction = nullptr;
    QPushButton *m_filter = nullptr;
    QPushButton *m_exit = nullptr;
    QLabel *m_status = nullptr;
    QTableView *m_view = nullptr;
};
