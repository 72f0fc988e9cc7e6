#include "cloudui/logindialog.h"

#include <QJsonObject>
#include <QNetworkReply>
#include <QPointer>
#include <QRegularExpression>

#include "cloud/contract.h"
#include "cloud/extensionwriter.h"
#include "cloud/kesapi.h"
#include "cloud/loginreply.h"
#include "cloudui/deviceselectwindow.h"
#include "core/log.h"
#include "core/prompt.h"
#include "core/settings.h"
#include "panel/orvalo.h"
#include "ui_logindialog.h"

const QString LoginDialog::DefaultCloudAddress = QStringLiteral("https://cloud.brisko.example/briskogui/");

namespace {

QString oneLine(QString text)
{
    text.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    return text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
}

// A reply body as logged, on one line: secrets the service may put in it are masked and line
// breaks are written as \n.
QString loggable(const QByteArray &body)
{
    static const QRegularExpression secret(
        QStringLiteral("(\"(?:secret|token|password|pin|dialoutasuserpwd)\"\\s*:\\s*)(\"[^\"]*\"|[^,}\\s]+)"),
        QRegularExpression::CaseInsensitiveOption);
    QString text = QString::fromUtf8(body);
    text.replace(secret, QStringLiteral("\\1\"********\""));
    return oneLine(text);
}

QJsonObject loginRequest(const Settings &settings)
{
    const auto on
        = [&settings](const Setting &option) { return settings.checkSetting(option, Setting::Yes); };
    using namespace Contract::Request;
    return {
        {ExternalDirectory, on(Settings::CorporateDirectoryExternal)},
        {InternalDirectory, on(Settings::CorporateDirectoryInternal)},
        {SeparateCorporateDirectory, on(Settings::SeparateCorporateDirectory)},
        {IncludeUserPhones, on(Settings::IncludeUserPhonesInDirectory)},
        {SortBy, settings.getSetting(Settings::SortCorporateDirectoryBy)},
    };
}

} // namespace

LoginDialog::LoginDialog(Orvalo &window, Settings &settings, Kesapi &kesapi, dbmgr &db, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::LoginDialog>())
    , m_settings(settings)
    , m_kesapi(kesapi)
    , m_writer(std::make_unique<ExtensionWriter>(db))
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::Tool | Qt::WindowStaysOnTopHint);
    connect(this, &LoginDialog::load_new_extensions, &window, &Orvalo::load_extensions);
    connect(this, &LoginDialog::reload_extension, &window, &Orvalo::accountUpdated);
    connect(this, &LoginDialog::clear_extensions, &window, &Orvalo::clearExtensions);
    connect(this, &LoginDialog::load_companydevices, &window, &Orvalo::processCompanyDevicesDetails);
    connect(this, &LoginDialog::successfulLogin, &window, &Orvalo::successfulLogin);
    connect(m_writer.get(), &ExtensionWriter::load_new_extensions, this, &LoginDialog::load_new_extensions);
    connect(m_writer.get(), &ExtensionWriter::reload_extension, this, &LoginDialog::reload_extension);
    connect(m_writer.get(), &ExtensionWriter::clear_extensions, this, &LoginDialog::clear_extensions);
    // Until the service answers only Cancel (or closing the window) does anything.
    setFormEnabled(false);
}

LoginDialog::~LoginDialog() = default;

QString LoginDialog::statusText() const
{
    return ui->status->text();
}

void LoginDialog::setFormEnabled(bool enabled)
{
    for (QWidget *w :
        {static_cast<QWidget *>(ui->FieldCompanyCode), static_cast<QWidget *>(ui->FieldPassword),
            static_cast<QWidget *>(ui->FieldToken), static_cast<QWidget *>(ui->FieldUsername),
            static_cast<QWidget *>(ui->ButtonOk), static_cast<QWidget *>(ui->CheckboxRemember)})
        w->setEnabled(enabled);
}

template <typename Handler> auto LoginDialog::whileOpen(Handler handler)
{
    return [self = QPointer<LoginDialog>(this), showing = m_showing, handler](QNetworkReply *reply) {
        if (!self || self->m_showing != showing || !self->isVisible()) {
            LOG(QStringLiteral("Reply for a closed login window dropped"));
            return;
        }
        (self->*handler)(reply);
    };
}

void LoginDialog::done(int result)
{
    ++m_showing;
    QDialog::done(result);
}

void LoginDialog::check_for_host()
{
    if (m_settings.getSetting(Settings::BriskoCloudApiUrl).isEmpty()) {
        m_settings.setSetting(Settings::BriskoCloudApiUrl, DefaultCloudAddress);
        m_kesapi.setBriskoCloudApiUrl(DefaultCloudAddress);
    }
    m_kesapi.post(Contract::Hello, whileOpen(&LoginDialog::helloAnswered));
}

void LoginDialog::helloAnswered(QNetworkReply *reply)
{
    const QString text = QString::fromUtf8(reply->readAll()).trimmed();
    LOG(QStringLiteral("Hello check: ") + oneLine(text));
    if (text == Contract::HelloAnswer) {
        host_set();
        show();
        return;
    }
    Prompt::critical(QStringLiteral("Error"),
        QStringLiteral("Failed to contact Brisko web admin.\nCheck setting and try again."));
}

void LoginDialog::host_set()
{
    setFormEnabled(true);
    m_kesapi.setBriskoCloudApiUrl(m_settings.getSetting(Settings::BriskoCloudApiUrl));
    const QString user = m_settings.getSetting(Settings::LoginUsername);
    const QString company = m_settings.getSetting(Settings::LoginCompanycode);
    if (!user.isEmpty())
        ui->FieldUsername->setText(user);
    if (!company.isEmpty())
        ui->FieldCompanyCode->setText(company);
    if (!user.isEmpty() || !company.isEmpty())
        ui->CheckboxRemember->setChecked(true);
}

void LoginDialog::on_ButtonOk_clicked()
{
    const QString username = ui->FieldUsername->text().trimmed();
    const QString companycode = ui->FieldCompanyCode->text().trimmed();
    const QString token = ui->FieldToken->text().trimmed();
    const QString password = ui->FieldPassword->text().trimmed();
    const bool remember = ui->CheckboxRemember->isChecked();
    m_settings.setSetting(Settings::LoginUsername, remember ? username : QString());
    m_settings.setSetting(Settings::LoginCompanycode, remember ? companycode : QString());

    LOG(QString(Contract::LoginDeviceDetails));
    if (token.isEmpty())
        m_kesapi.setLogin(companycode, username, password);
    else
        m_kesapi.setLogin(token);
    m_kesapi.post(
        Contract::LoginDeviceDetails, loginRequest(m_settings), whileOpen(&LoginDialog::handleNetworkData));
    ui->status->setText(QStringLiteral("Logging in..."));
    ui->ButtonOk->setEnabled(false);
}

void LoginDialog::on_ButtonCancel_clicked()
{
    close();
}

void LoginDialog::handleNetworkData(QNetworkReply *reply)
{
    LOG(QStringLiteral("Network reply received"));
    const QByteArray body = reply->readAll();
    if (reply->error() != QNetworkReply::NoError) {
        ui->status->setText(ui->FieldToken->text().trimmed().isEmpty()
                ? QStringLiteral("Invalid credentials")
                : QStringLiteral("Invalid or expired token"));
        ui->ButtonOk->setEnabled(true);
        LOG(QStringLiteral("Error"));
        LOG(loggable(body));
        return;
    }
    const LoginReply login = readLoginReply(body);
    if (!login.valid) {
        ui->status->setText(QStringLiteral("System error"));
        ui->ButtonOk->setEnabled(true);
        LOG(QStringLiteral("JSON parse error: ") + login.parseError);
        LOG(loggable(body));
        return;
    }
    if (!login.token.isEmpty())
        m_kesapi.setLogin(login.token);
    m_settings.setSetting(Settings::FooterCompanyname, login.company);
    m_settings.setSetting(Settings::FooterUsername, login.user);

    if (login.hasDevices) {
        std::vector<Extension> chosen;
        const QPointer<LoginDialog> self(this);
        const bool goOn = chooseDevices(login, chosen);
        if (!self)
            return;
        if (!goOn) {
            ui->ButtonOk->setEnabled(true);
            return;
        }
        if (!chosen.empty())
            load_extensions(chosen);
    }
    finishLogin(login.text);
}

bool LoginDialog::chooseDevices(const LoginReply &reply, std::vector<Extension> &chosen)
{
    const int count = int(reply.devices.size());
    LOG(QStringLiteral("devices count: ") + QString::number(count));
    if (count == 0) {
        ui->status->setText(QStringLiteral("Logged in, no devices returned"));
        return true;
    }
    QList<int> rows {0};
    if (count > 1) {
        std::vector<QString> labels;
        labels.reserve(reply.devices.size());
        for (const OfferedDevice &device : reply.devices)
            labels.push_back(device.label);
        DeviceSelectWindow select(labels, this);
        select.exec();
        if (select.outcome() == DeviceSelectWindow::Outcome::Cancelled)
            return true; // the login completes without a device
        rows = select.selectedRows();
    }
    if (Prompt::current().ask({Prompt::Icon::Question, QStringLiteral("Login"),
            QStringLiteral("Load configurations?"), Prompt::Yes | Prompt::No, Prompt::Yes})
        != Prompt::Yes)
        return false;

    // Up to 32 devices the choice is the mask of bit i for row i; beyond, the list of rows.
    QString choice;
    if (count <= DeviceSelectWindow::MaskRows) {
        quint32 mask = 0;
        for (int row : std::as_const(rows))
            mask |= quint32(1) << row;
        choice = QString::number(mask);
    } else {
        QStringList list;
        for (int row : std::as_const(rows))
            list << QString::number(row);
        choice = QLatin1Char('[') + list.join(QLatin1Char(',')) + QLatin1Char(']');
    }
    LOG(QStringLiteral("devices to use ") + choice);
    chosen.reserve(std::size_t(rows.size()));
    for (int row : std::as_const(rows))
        chosen.push_back(reply.devices[std::size_t(row)].extension);
    return true;
}

void LoginDialog::load_extensions(const std::vector<Extension> &devices)
{
    m_writer->write(devices);
}

void LoginDialog::finishLogin(const QString &replyText)
{
    emit load_companydevices(replyText);
    ui->ButtonOk->setEnabled(true);
    emit successfulLogin();
    close();
}
