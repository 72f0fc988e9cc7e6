#include "messagingui/chatlogdialog.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSqlQueryModel>
#include <QTableView>

#include "messaging/chathistory.h"
#include "messaging/chatstore.h"

ChatLogDialog::ChatLogDialog(const ChatStore &store, QWidget *parent)
    : QDialog(parent)
    , m_history(std::make_unique<ChatHistory>())
{
    setWindowTitle(QStringLiteral("Chat History"));
    resize(900, 500);
    auto *grid = new QGridLayout(this);
    const auto dateEdit = [this](const char *name) {
        auto *edit = new QDateTimeEdit(this);
        edit->setObjectName(QLatin1String(name));
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
        edit->setCalendarPopup(true);
        return edit;
    };
    m_start = dateEdit("filter_startdate");
    m_end = dateEdit("filter_enddate");
    m_account = new QComboBox(this);
    m_account->setObjectName(QStringLiteral("filter_account"));
    m_direction = new QComboBox(this);
    m_direction->setObjectName(QStringLiteral("filter_direction"));
    m_direction->addItems({QStringLiteral("All"), QStringLiteral("Outbound"), QStringLiteral("Inbound")});
    auto *filter = new QPushButton(QStringLiteral("Filter"), this);
    filter->setObjectName(QStringLiteral("filterbutton"));
    auto *close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("exit_button"));
    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("view"));

    const QList<std::pair<QString, QWidget *>> fields
        = {{QStringLiteral("Start Date"), m_start}, {QStringLiteral("End Date"), m_end},
            {QStringLiteral("Account"), m_account}, {QStringLiteral("Direction"), m_direction}};
    for (int i = 0; i < fields.size(); ++i) {
        auto *label = new QLabel(fields.at(i).first, this);
        label->setBuddy(fields.at(i).second);
        grid->addWidget(label, 0, i);
        grid->addWidget(fields.at(i).second, 1, i);
    }
    grid->addWidget(filter, 1, 4);
    grid->addWidget(m_view, 2, 0, 1, 5);
    grid->addWidget(close, 3, 4);

    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setWordWrap(true);
    m_view->horizontalHeader()->setStyleSheet(QStringLiteral(
        "QHeaderView::section { background-color:darkblue; color:white;   border-style: outset; "
        "border-width: 2px;   border-radius: 4px; border-color: grey;   font: bold 13px; "
        "padding: 2px; }"));
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_model = new QSqlQueryModel(this);
    m_view->setModel(m_model);

    // The stored times are local: the span is shown in local time too.
    const QDateTime now = QDateTime::currentDateTime();
    m_start->setDateTime(now.addDays(-7));
    m_end->setDateTime(now);
    m_account->addItem(QStringLiteral("All"));
    if (m_history->open()) {
        m_history->import(store);
        m_account->addItems(m_history->accounts());
    }
    connect(filter, &QPushButton::clicked, this, &ChatLogDialog::reload);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}

ChatLogDialog::~ChatLogDialog()
{
    // The model's query must go before its connection.
    delete m_model;
    m_model = nullptr;
}

void ChatLogDialog::reload()
{
    const auto chosen
        = [](const QComboBox *box) { return box->currentIndex() <= 0 ? QString() : box->currentText(); };
    m_model->setQuery(
        m_history->filter(m_start->text(), m_end->text(), chosen(m_account), chosen(m_direction)));
    const QStringList titles = {QStringLiteral("Panel Extension"), QStringLiteral("Remote Party"),
        QStringLiteral("Direction"), QStringLiteral("Date/Time"), QStringLiteral("Text")};
    for (int i = 0; i < titles.size(); ++i)
        m_model->setHeaderData(i, Qt::Horizontal, titles.at(i));
    m_view->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_view->resizeRowsToContents();
}

void ChatLogDialog::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    m_view->resizeRowsToContents();
}
