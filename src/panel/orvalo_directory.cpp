// Main window: the company directory (reload, tabs and tiles, presence, the tiles' menu).
#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QJsonObject>
#include <QMenu>
#include <QMessageBox>
#include <QNetworkReply>
#include <QProgressDialog>

#include "cloud/contract.h"
#include "cloud/directoryreply.h"
#include "cloud/directorywriter.h"
#include "cloud/kesapi.h"
#include "core/log.h"
#include "core/prompt.h"
#include "core/settings.h"
#include "engine/sipdialer.h"
#include "panel/account.h"
#include "panel/call.h"
#include "panel/callrecord.h"
#include "panel/companydevice.h"
#include "panel/directory.h"
#include "panel/orvalo.h"
#include "ui_orvalo.h"
#include "widgets/callcontroldialog.h"
#include "widgets/directorytile.h"

void Orvalo::setupDirectory()
{
    m_directory = std::make_unique<Directory>(
        m_db, *ui->tab_directories, [this](const QString &uri) { return m_dialer->add_buddy(uri); },
        [this](int id) { m_dialer->remove_buddy(id); });
}

QProgressDialog *Orvalo::reloadProgress() const
{
    return m_reloadProgress;
}

CallcontrolDialog *Orvalo::callOutWindow() const
{
    return m_callOut;
}

void Orvalo::on_actionReload_Directories_triggered()
{
    for (const auto &account : m_accounts) {
        if (account->activeCallCount() > 0) {
            Prompt::warning(QStringLiteral("Error"),
                QStringLiteral("Cannot reload directories while calls are in progress"));
            return;
        }
    }
    Prompt::Question question;
    question.icon = Prompt::Icon::Question;
    question.title = QStringLiteral("Confirm Reload?");
    question.text = QStringLiteral("Are you sure you want to reload the directories?");
    question.buttons = Prompt::Ok | Prompt::Cancel;
    question.defaultButton = Prompt::Cancel;
    if (Prompt::current().ask(question) != Prompt::Ok)
        return;

    if (m_reloadProgress)
        m_reloadProgress->deleteLater();
    m_reloadProgress = new QProgressDialog(QStringLiteral("Reloading directories"), QString(), 0, 100, this);
    m_reloadProgress->setCancelButton(nullptr);
    m_reloadProgress->setMinimumDuration(0);
    m_reloadProgress->show();

    const auto on = [this](const Setting &option) { return m_settings.checkSetting(option, Setting::Yes); };
    using namespace Contract::Request;
    const QJsonObject body {
        {ExternalDirectory, on(Settings::CorporateDirectoryExternal)},
        {InternalDirectory, on(Settings::CorporateDirectoryInternal)},
        {SeparateCorporateDirectory, on(Settings::SeparateCorporateDirectory)},
        {IncludeUserPhones, on(Settings::IncludeUserPhonesInDirectory)},
        {SortBy, m_settings.getSetting(Settings::SortCorporateDirectoryBy)},
    };
    // The reply's error state does not matter: an error body without a directory empties it.
    m_kesapi->post(Contract::CompanyDevices, body, [window = QPointer<Orvalo>(this)](QNetworkReply *reply) {
        if (window)
            window->processCompanyDevicesDetails(QString::fromUtf8(reply->readAll()));
    });
}

void Orvalo::progressStep()
{
    if (!m_reloadProgress)
        return;
    m_reloadProgress->setValue(m_reloadProgress->value() + 1);
    QApplication::processEvents();
}

void Orvalo::processCompanyDevicesDetails(const QString &replytext)
{
    const DirectoryReply reply = readDirectoryReply(replytext);
    if (!reply.valid) {
        LOG(QStringLiteral("JSON parse error: ") + reply.parseError);
        LOG(replytext);
        if (m_messageBox) {
            m_messageBox->setText(QStringLiteral("Error parsing message response"));
            m_messageBox->show();
        }
        if (m_reloadProgress)
            m_reloadProgress->cancel();
        return;
    }
    const int count = int(reply.entries.size());
    if (m_reloadProgress)
        m_reloadProgress->setMaximum(3 * count);
    DirectoryWriter writer(m_db);
    const std::vector<Extension> records = writer.storeDepartments(reply.entries, [this](int i) {
        if (m_reloadProgress)
            m_reloadProgress->setValue(i);
    });
    if (m_reloadProgress)
        m_reloadProgress->setValue(count);
    reload_companydevices(records);
}

int Orvalo::add_department(
    const QString &tenantmode, const QString &partyid, const QString &name, const QString &greeting)
{
    return DirectoryWriter(m_db).add_department(tenantmode, partyid, name, greeting);
}

void Orvalo::reload_companydevices(const std::vector<Extension> &records)
{
    DirectoryWriter(m_db).writeRows(records, [this](int) { progressStep(); });
    load_companydevices();
}

void Orvalo::load_companydevices()
{
    if (!m_directory)
        return;
    m_lastSortBy = m_settings.getSetting(Settings::SortCorporateDirectoryBy);
    LOG(QStringLiteral("Sort company devices by ") + m_lastSortBy);
    const bool byUsername = m_settings.checkSetting(Settings::SortCorporateDirectoryBy, Setting::Username);
    const auto wire = [this](CompanyDevice &tile) {
        // The tile's menu and drops are the number's when they land on its phone-number line.
        ClickableLabel *label = tile.getLabel();
        label->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(label, &QWidget::customContextMenuRequested, this, &Orvalo::showCompanyDeviceContextMenu);
        // A call label dropped onto the tile or its phone number is transferred there.
        connect(label, &ClickableLabel::onDrop, this, &Orvalo::onCallDragDrop);
        if (!tile.getPhonenumber().isEmpty())
            connect(
                tile.face(), &DirectoryTile::phoneClicked, this, &Orvalo::companydevice_phonenumber_clicked);
    };
    if (!m_directory->build(byUsername, wire, [this] { progressStep(); }))
        return;
    if (m_reloadProgress) {
        if (m_reloadProgress->maximum() == 0)
            m_reloadProgress->setMaximum(1);
        m_reloadProgress->setValue(m_reloadProgress->maximum());
    }
    ui->tab_directories->setCurrentIndex(0);
    addAllBuddies();
}

void Orvalo::addCorporateDirectory(
    int index, const QString &partyid, const QString &name, const QString &greeting)
{
    m_directory->addCorporateDirectory(index, partyid, name, greeting);
}

void Orvalo::removeAllCorporateDirectories()
{
    m_directory->removeAllCorporateDirectories();
}

// ---- Presence -------------------------------------------------------------------------------

void Orvalo::addAllBuddies()
{
    if (m_directory && !m_directory->buddiesAdded() && hasRegisteredExtension())
        m_directory->addAllBuddies();
}

void Orvalo::removeAllBuddies()
{
    if (m_directory)
        m_directory->removeAllBuddies();
}

void Orvalo::onBuddyState(unsigned buddyId, const QString &text, unsigned status)
{
    if (m_directory)
        m_directory->onBuddyState(buddyId, text, status);
}

// ---- The tiles' menu ------------------------------------------------------------------------

CompanyDevice *Orvalo::selectedCompanyDevice() const
{
    if (!m_directory)
        return nullptr;
    for (const auto &tile : m_directory->tiles()) {
        if (tile->getKesId() == m_selectedCompanyDevice)
            return tile.get();
    }
    return nullptr;
}

Call *Orvalo::callTo(const QString &number, Account **owner) const
{
    if (number.isEmpty())
        return nullptr;
    for (const auto &account : m_accounts) {
        for (const auto &call : account->getCalls()) {
            if (call->getCallRecord().getTo() == number) {
                if (owner)
                    *owner = account.get();
                return call.get();
            }
        }
    }
    return nullptr;
}

std::unique_ptr<QMenu> Orvalo::companyDeviceMenu(CompanyDevice &tile, bool onPhoneNumber)
{
    auto menu = std::make_unique<QMenu>(this);
    m_selectedCompanyDevice = tile.getKesId();
    const bool inCall = callTo(tile.getExtension()) != nullptr;
    if (hasRegisteredExtension()) {
        const QString &extension = tile.getExtension();
        if (tile.isOnline()) {
            if (inCall) {
                menu->addAction(QStringLiteral("Hangup"), this, &Orvalo::hangup_selected_company_device);
            } else {
                menu->addAction(
                    QStringLiteral("Call to ") + extension, this, &Orvalo::call_selected_company_device);
                if (tile.canDialOutAs())
                    menu->addAction(QStringLiteral("Call out as ") + extension, this,
                        &Orvalo::call_out_using_selected_company_device);
                if (m_settings.checkSetting(Settings::EnableChat, Setting::Yes)) {
                    menu->addAction(
                        QStringLiteral("Send IM/SMS"), this, &Orvalo::message_selected_company_device);
                }
            }
        }
        const QString &phone = tile.getPhonenumber();
        if (!phone.isEmpty()) {
            const Account *current = getCurrentAccount();
            const QString own = current ? current->getExtension() : QString();
            menu->addAction(QStringLiteral("Dial ") + phone + QStringLiteral(" as extension ") + own, this,
                &Orvalo::callSelectedPhonenumber);
            if (tile.canDialOutAs())
                menu->addAction(
                    QStringLiteral("Dial ") + phone + QStringLiteral(" as extension ") + extension, this,
                    &Orvalo::callOutUsingSelectedDeviceToPhonenumber);
            if (onPhoneNumber)
                menu->addAction(QStringLiteral("Copy"), this, &Orvalo::copySelectedPhonenumber);
        }
    }
    if (menu->actions().isEmpty()) {
        menu->addAction(QStringLiteral("** No options **"));
        for (QAction *action : menu->actions())
            action->setEnabled(false);
    }
    return menu;
}

void Orvalo::showCompanyDeviceContextMenu(const QPoint &pos)
{
    auto *label = qobject_cast<QLabel *>(sender());
    if (!m_directory || m_directory->tiles().empty() || !label)
        return;
    CompanyDevice *tile = m_directory->tileFor(label);
    if (!tile)
        return;
    const std::unique_ptr<QMenu> menu = companyDeviceMenu(*tile, tile->isOnPhoneNumber(pos));
    menu->exec(label->mapToGlobal(pos));
}

void Orvalo::dialThroughField(const QString &number)
{
    const QString saved = ui->PhoneNumber->text();
    ui->PhoneNumber->setText(number);
    on_DialButton_clicked();
    ui->PhoneNumber->setText(saved);
}

void Orvalo::call_selected_company_device()
{
    if (CompanyDevice *tile = selectedCompanyDevice())
        dialThroughField(tile->getExtension());
}

void Orvalo::call_out_using_selected_company_device()
{
    CompanyDevice *tile = selectedCompanyDevice();
    if (!tile)
        return;
    if (m_callOut)
        m_callOut->deleteLater();
    const QString extension = tile->getExtension();
    const QString append = tile->getDialOutAppend();
    m_callOut = new CallcontrolDialog(QStringLiteral("Call out using ") + extension, extension, this);
    m_callOut->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_callOut, &CallcontrolDialog::callas, this,
        [this, append](const QString &number, const QString &fromextension) {
            makeCall(number + append, fromextension);
        });
    m_callOut->show();
}

void Orvalo::hangup_selected_company_device()
{
    CompanyDevice *tile = selectedCompanyDevice();
    Account *owner = nullptr;
    if (Call *call = tile ? callTo(tile->getExtension(), &owner) : nullptr)
        hangupCall(owner->getPjId(), call->getCallId());
}

void Orvalo::message_selected_company_device()
{
    if (CompanyDevice *tile = selectedCompanyDevice())
        openChatDialog(tile->getExtension());
}

void Orvalo::callSelectedPhonenumber()
{
    if (CompanyDevice *tile = selectedCompanyDevice())
        dialThroughField(m_settings.getSetting(Settings::OutboundDialPrefix) + tile->getPhonenumber());
}

void Orvalo::callOutUsingSelectedDeviceToPhonenumber()
{
    if (CompanyDevice *tile = selectedCompanyDevice())
        dialThroughField(m_settings.getSetting(Settings::OutboundDialPrefix) + tile->getPhonenumber()
            + tile->getDialOutAppend());
}

void Orvalo::copySelectedPhonenumber()
{
    if (CompanyDevice *tile = selectedCompanyDevice())
        QApplication::clipboard()->setText(tile->getPhonenumber());
}

void Orvalo::companydevice_phonenumber_clicked()
{
    const Account *current = getCurrentAccount();
    if (!m_directory || !current || !current->isRegistered())
        return;
    const CompanyDevice *tile = m_directory->tileFor(sender());
    if (!tile)
        return;
    QString number = tile->getPhonenumber();
    number.remove(QLatin1Char(' ')).remove(QLatin1Char('-'));
    number = number.trimmed();
    if (number.isEmpty())
        return;
    ui->PhoneNumber->setText(m_settings.getSetting(Settings::OutboundDialPrefix) + number);
    on_DialButton_clicked();
}
