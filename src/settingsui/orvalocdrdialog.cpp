#include "settingsui/orvalocdrdialog.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QTableView>

#include "core/log.h"

namespace {
const QString All = QStringLiteral("All");
}

Orvalocdrdialog::Orvalocdrdialog(QWidget *parent)
    : QDialog(parent)
    , m_model(new QSqlQueryModel(this))
{
    buildForm();
    m_view->setModel(m_model);
    m_view->horizontalHeader()->setStyleSheet(QStringLiteral(
        "QHeaderView::section { background-color:darkblue; color:white;   border-style: outset; "
        "border-width: 2px;   border-radius: 4px; border-color: grey;   font: bold 13px; "
        "padding: 2px; }"));
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    m_start->setDateTime(now.addDays(-7));
    m_end->setDateTime(now);
    fillAccounts();
    reload();
}

Orvalocdrdialog::~Orvalocdrdialog() = default;

void Orvalocdrdialog::buildForm()
{
    setObjectName(QStringLiteral("Orvalocdrdialog"));
    setWindowTitle(QStringLiteral("Call Log"));
    resize(801, 461);
    auto *grid = new QGridLayout(this);
    const auto labelled = [this, grid](int column, const QString &text, QWidget *field) {
        auto *label = new QLabel(text, this);
        label->setBuddy(field);
        grid->addWidget(label, 0, column);
        grid->addWidget(field, 1, column);
    };
    const auto dateEdit = [this](const char *name) {
        auto *edit = new QDateTimeEdit(this);
        edit->setObjectName(QLatin1String(name));
        edit->setDisplayFormat(CallLogQuery::MinuteFormat);
        edit->setTimeSpec(Qt::UTC);
        edit->setCalendarPopup(true);
        return edit;
    };
    m_start = dateEdit("filter_startdate");
    m_end = dateEdit("filter_enddate");
    m_account = new QComboBox(this);
    m_account->setObjectName(QStringLiteral("filter_account"));
    m_disposition = new QComboBox(this);
    m_disposition->setObjectName(QStringLiteral("filter_disposition"));
    m_disposition->addItems({All, QStringLiteral("Answered"), QStringLiteral("No Answer"),
        QStringLiteral("Failed"), QStringLiteral("Busy"), QStringLiteral("Congestion")});
    m_direction = new QComboBox(this);
    m_direction->setObjectName(QStringLiteral("filter_direction"));
    m_direction->addItems({All, QStringLiteral("Outbound"), QStringLiteral("Inbound")});
    m_filter = new QPushButton(QStringLiteral("Filter"), this);
    m_filter->setObjectName(QStringLiteral("filterbutton"));
    m_exit = new QPushButton(QStringLiteral("Close"), this);
    m_exit->setObjectName(QStringLiteral("exit_button"));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("filter_status"));
    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("view"));
    m_view->setAccessibleName(QStringLiteral("Calls"));

    labelled(0, QStringLiteral("Start Date"), m_start);
    labelled(1, QStringLiteral("End Date"), m_end);
    labelled(2, QStringLiteral("Account"), m_account);
    labelled(3, QStringLiteral("Disposition"), m_disposition);
    labelled(4, QStringLiteral("Direction"), m_direction);
    grid->addWidget(m_filter, 1, 5);
    grid->addWidget(m_status, 2, 0, 1, 6);
    grid->addWidget(m_view, 3, 0, 1, 6);
    grid->addWidget(m_exit, 4, 5);
    grid->setRowStretch(3, 1);
    connect(m_filter, &QPushButton::clicked, this, &Orvalocdrdialog::on_filterbutton_clicked);
    connect(m_exit, &QPushButton::clicked, this, &Orvalocdrdialog::on_exit_button_clicked);
}

void Orvalocdrdialog::fillAccounts()
{
    m_account->addItem(All);
    QSqlQuery query(QSqlDatabase::database());
    if (!query.exec(QStringLiteral("SELECT accountname, accountid FROM accounts"))) {
        LOG(QStringLiteral("Call log accounts: ") + query.lastError().text());
        return;
    }
    while (query.next())
        m_account->addItem(query.value(0).toString(), query.value(1));
}

CallLogFilter Orvalocdrdialog::filter() const
{
    CallLogFilter filter;
    filter.start = m_start->dateTime();
    filter.end = m_end->dateTime();
    if (m_disposition->currentText() != All)
        filter.disposition = m_disposition->currentText();
    if (m_account->currentIndex() > 0)
        filter.accountId = m_account->currentData().toInt();
    if (m_direction->currentText() == QLatin1String("Outbound"))
        filter.direction = CallLogFilter::Direction::Outbound;
    else if (m_direction->currentText() == QLatin1String("Inbound"))
        filter.direction = CallLogFilter::Direction::Inbound;
    return filter;
}

void Orvalocdrdialog::reload()
{
    const CallLogFilter chosen = filter();
    if (CallLogQuery::isReversed(chosen)) {
        m_status->setText(QStringLiteral("The end date is before the start date: no calls can match."));
    } else {
        m_status->clear();
    }
    QSqlQuery query(QSqlDatabase::database());
    if (!CallLogQuery::prepare(query, chosen) || !query.exec()) {
        LOG(QStringLiteral("Call log query: ") + query.lastError().text());
        m_status->setText(QStringLiteral("The call log cannot be read: ") + query.lastError().text());
    }
    m_model->setQuery(std::move(query));
    const QStringList headers {QStringLiteral("Account"), QStringLiteral("Remote Party"),
        QStringLiteral("Date/Time"), QStringLiteral("Call end"), QStringLiteral("Duration"),
        QStringLiteral("Disposition"), QStringLiteral("Direction")};
    for (int i = 0; i < headers.size(); ++i)
        m_model->setHeaderData(i, Qt::Horizontal, headers.at(i));
    // Sized by the rows read so far (the first page), not by the whole table.
    m_view->resizeColumnsToContents();
}

void Orvalocdrdialog::on_filterbutton_clicked()
{
    reload();
}

void Orvalocdrdialog::on_exit_button_clicked()
{
    close();
}

void Orvalocdrdialog::showMissedCalls()
{
    m_disposition->setCurrentText(QStringLiteral("No Answer"));
    m_direction->setCurrentText(QStringLiteral("Inbound"));
    reload();
}
