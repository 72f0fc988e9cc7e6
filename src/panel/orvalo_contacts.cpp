// Main window: the caller's contact lookup and the contact details tab (details, search by name,
// the client's issues, the dial buttons) and the call label's top header.
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonObject>
#include <QLabel>
#include <QNetworkReply>
#include <QPushButton>
#include <QTableWidget>

#include "cloud/contactreply.h"
#include "cloud/contract.h"
#include "cloud/issuelist.h"
#include "cloud/kesapi.h"
#include "cloud/redmine.h"
#include "core/log.h"
#include "panel/account.h"
#include "panel/call.h"
#include "panel/contactlookup.h"
#include "panel/enginecallinfo.h"
#include "panel/orvalo.h"
#include "ui_orvalo.h"
#include "widgets/corporatedirectory.h"

namespace {

// The body of a reply as logged after a parse error: on one line.
QString loggedBody(const QByteArray &body)
{
    return QString::fromUtf8(body).replace(QLatin1Char('\n'), QLatin1Char(' '));
}

void setLabelCell(QTableWidget *table, int row, int column, const QString &text)
{
    table->setCellWidget(row, column, new QLabel(text));
}

void showHeader(QTableWidget *table, const QStringList &labels)
{
    table->setHorizontalHeaderLabels(labels);
    table->horizontalHeader()->show();
    table->resizeColumnsToContents();
}

} // namespace

ContactLookup &Orvalo::contactLookup()
{
    return *m_contactLookup;
}

void Orvalo::contact_lookup(const orvalo_call_info &info)
{
    const ContactLookup::ContactPlan plan = m_contactLookup->contactPlan(info);
    if (!plan.request.isEmpty()) {
        LOG(QStringLiteral("Searching for phone number: ") + plan.number);
        m_kesapi->post(plan.request, [this](QNetworkReply *reply) {
            const QByteArray body = reply->readAll();
            QString error;
            if (const auto results = readContactResults(body, &error))
                populate_contact_details(*results);
            else
                LOG(QStringLiteral("JSON Parse Error: ") + error + QLatin1Char(' ') + loggedBody(body));
        });
    }
    if (!plan.partyId.isEmpty())
        selectDirectoryTab(plan.partyId);
}

void Orvalo::selectDirectoryTab(const QString &partyId)
{
    QTabWidget *tabs = ui->tab_directories;
    for (int i = 0; i < tabs->count(); ++i) {
        const auto *page = qobject_cast<const CorporateDirectory *>(tabs->widget(i));
        if (page && page->getPartyId() == partyId) {
            tabs->setCurrentIndex(i);
            return;
        }
    }
}

void Orvalo::queryCallHeader(const orvalo_call_info &info)
{
    const ContactLookup::HeaderPlan plan = m_contactLookup->headerPlan(info);
    const int accId = info.acc_id;
    const int callId = info.call_id;
    switch (plan.source) {
    case ContactLookup::HeaderSource::ContactName:
        m_kesapi->post(plan.request, [this, accId, callId](QNetworkReply *reply) {
            const QByteArray body = reply->readAll();
            QString error;
            const auto results = readContactResults(body, &error);
            if (!results) {
                LOG(QStringLiteral("JSON Parse Error: ") + error + QLatin1Char(' ') + loggedBody(body));
                return;
            }
            if (!results->isEmpty())
                setCallHeader(accId, callId, results->first().contactName);
        });
        break;
    case ContactLookup::HeaderSource::ShortGreeting:
        m_kesapi->post(plan.request, [this, accId, callId](QNetworkReply *reply) {
            const QByteArray body = reply->readAll();
            const TenantGreeting greeting = readTenantGreeting(body);
            if (greeting.outcome == TenantGreeting::Outcome::NotAnObject) {
                LOG(QStringLiteral("Json parse error: ") + greeting.error + QLatin1Char(' ')
                    + loggedBody(body));
                return;
            }
            if (greeting.outcome == TenantGreeting::Outcome::Greeting)
                setCallHeader(accId, callId, greeting.text);
        });
        break;
    case ContactLookup::HeaderSource::None:
        break;
    }
}

void Orvalo::setCallHeader(int accId, int callId, const QString &text)
{
    // The call may have ended while the reply was on its way: then nothing is found.
    for (const auto &account : m_accounts) {
        LOG(QStringLiteral("Account ") + QString::number(account->getPjId())
            + QStringLiteral(" call account ") + QString::number(accId));
        if (account->getPjId() != accId)
            continue;
        Call *call = account->getCall(callId);
        if (!call)
            return;
        call->setTopHeader(text);
        const EngineCallInfo engine(*m_dialer);
        call->updateLabel(&engine);
    }
}

void Orvalo::populate_contact_details(const QList<ContactDetails> &results)
{
    const ContactLookup::DetailsUpdate update = m_contactLookup->detailsFor(results);
    if (update.showTab)
        ui->tab_directories->setCurrentIndex(ui->tab_directories->count() - 2);
    const ContactDetails &c = update.shown;
    ui->line_formofaddress->setText(c.formOfAddress);
    ui->line_contactname->setText(c.contactName);
    ui->line_contact_phonenumber->setText(c.phoneNumber);
    ui->line_contact_phonenumber2->setText(c.phoneNumber2);
    ui->line_clientname->setText(c.clientName);
    ui->label_contactdetails_altfirstname->setText(c.altFirstName);
    ui->label_contactdetails_altsecondname->setText(c.altSecondName);
    ui->label_contactdetails_emailaddress->setText(c.emailAddress);
    ui->label_clientdetails_altname->setText(c.altClientName);
    ui->table_client_issues->setRowCount(0);
    if (!update.issueProject)
        return;
    LOG(QStringLiteral("Attempting Redmine project lookup for ") + c.issueProject);
    m_redmine->getIssues(*update.issueProject, [this](QNetworkReply *reply) {
        const QByteArray body = reply->readAll();
        QString error;
        const auto rows = readIssueList(body, &error);
        if (!rows) {
            LOG(QStringLiteral("JSON Parse Error: ") + error + QLatin1Char(' ') + loggedBody(body));
            return;
        }
        QTableWidget *table = ui->table_client_issues;
        table->setRowCount(int(rows->size()));
        for (int i = 0; i < int(rows->size()); ++i) {
            const IssueRow &row = rows->at(i);
            setLabelCell(table, i, 0, row.id);
            setLabelCell(table, i, 1, row.updatedOn);
            setLabelCell(table, i, 2, row.status);
            setLabelCell(table, i, 3, row.subject);
        }
        showHeader(table,
            {QStringLiteral("ID"), QStringLiteral("Updated on"), QStringLiteral("Status"),
                QStringLiteral("Subject")});
    });
}

void Orvalo::on_button_contact_search_clicked()
{
    const QString text = ui->line_search_name->text();
    if (text.isEmpty())
        return;
    ui->button_contact_search->setEnabled(false);
    m_kesapi->post(Contract::ContactsByName, QJsonObject {{Contract::Request::Name, text}},
        [this](QNetworkReply *reply) {
            ui->button_contact_search->setEnabled(true);
            const QByteArray body = reply->readAll();
            QString error;
            if (const auto results = readContactResults(body, &error))
                showSearchResults(*results);
            else
                LOG(QStringLiteral("JSON parse error: ") + error + QLatin1Char(' ') + loggedBody(body));
        });
}

void Orvalo::on_line_search_name_returnPressed()
{
    on_button_contact_search_clicked();
}

void Orvalo::showSearchResults(const QList<ContactDetails> &results)
{
    QTableWidget *table = ui->table_contact_search_results;
    table->setRowCount(int(results.size()));
    const Account *current = getCurrentAccount();
    const bool canDial = m_accounts.empty() || (current && current->isRegistered());
    for (int i = 0; i < int(results.size()); ++i) {
        const ContactDetails &contact = results.at(i);
        setLabelCell(table, i, 0, contact.contactName);
        setLabelCell(table, i, 1, contact.phoneNumber);
        setLabelCell(table, i, 2, contact.clientName);
        auto *actions = new QWidget;
        auto *row = new QHBoxLayout(actions);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(1);
        auto *view = new QPushButton(QStringLiteral("View"), actions);
        view->setObjectName(QStringLiteral("view"));
        auto *dial = new QPushButton(QStringLiteral("Dial"), actions);
        dial->setObjectName(QStringLiteral("dial"));
        dial->setEnabled(canDial);
        for (QPushButton *button : {view, dial}) {
            button->setMaximumSize(80, 23);
            row->addWidget(button);
        }
        const QString number = contact.phoneNumber;
        connect(view, &QPushButton::clicked, this, [this, number] {
            m_kesapi->post(Contract::ContactByPhoneNumberPrefix + number, [this](QNetworkReply *reply) {
                const QByteArray body = reply->readAll();
                QString error;
                if (const auto found = readContactResults(body, &error))
                    populate_contact_details(*found);
                else
                    LOG(QStringLiteral("JSON parse error: ") + error + QLatin1Char(' ') + loggedBody(body));
            });
        });
        connect(dial, &QPushButton::clicked, this, [this, number] { dialContactNumber(number); });
        table->setCellWidget(i, 3, actions);
    }
    showHeader(table,
        {QStringLiteral("Contact Name"), QStringLiteral("Phone Number"), QStringLiteral("Client Name")});
    table->horizontalHeader()->setSectionResizeMode(3, QHeaderView::Fixed);
    table->setColumnWidth(3, 85);
    table->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
}

void Orvalo::on_button_clearcontactsearch_clicked()
{
    ui->line_search_name->clear();
    ui->table_contact_search_results->setRowCount(0);
}

void Orvalo::on_button_dial_contact_main_clicked()
{
    dialContactNumber(ui->line_contact_phonenumber->text());
}

void Orvalo::on_button_dial_contact_secondary_clicked()
{
    dialContactNumber(ui->line_contact_phonenumber2->text());
}

void Orvalo::dialContactNumber(const QString &number)
{
    ui->PhoneNumber->setText(m_contactLookup->dialString(number));
    on_DialButton_clicked();
}
