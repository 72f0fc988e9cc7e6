#include "settingsui/generalsettingsdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/prompt.h"
#include "core/settings.h"
#include "widgets/clickablelabel.h"

namespace {
const QString DatabasePathKey = QStringLiteral("DatabasePath");

QLabel *rowLabel(QFormLayout *form, const QString &text, QWidget *field)
{
    auto *label = new QLabel(text, form->parentWidget());
    label->setBuddy(field);
    form->addRow(label, field);
    return label;
}

// A labelled group of radio buttons in one form row; the first one is checked as built.
OptionBindings::RadioList radioRow(
    QFormLayout *form, const QString &label, const QList<std::tuple<QString, const char *, QString>> &choices)
{
    auto *group = new QWidget(form->parentWidget());
    auto *layout = new QVBoxLayout(group);
    layout->setContentsMargins(0, 0, 0, 0);
    OptionBindings::RadioList radios;
    for (const auto &[value, name, text] : choices) {
        auto *button = new QRadioButton(text, group);
        button->setObjectName(QLatin1String(name));
        layout->addWidget(button);
        radios.append({value, button});
    }
    radios.first().second->setChecked(true);
    auto *title = new QLabel(label, form->parentWidget());
    title->setBuddy(radios.first().second);
    form->addRow(title, group);
    return radios;
}
} // namespace

GeneralSettingsDialog::GeneralSettingsDialog(Settings &settings, QWidget *parent)
    : QDialog(parent)
    , m_settings(settings)
    , m_tabs(new QTabWidget(this))
    , m_buttons(new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Discard, this))
{
    setObjectName(QStringLiteral("GeneralSettingsDialog"));
    setWindowTitle(QStringLiteral("General Settings"));
    resize(745, 506);
    m_buttons->setObjectName(QStringLiteral("buttonBox"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(m_buttons);

    buildCloudTab();
    buildDirectoryTab();
    buildCallTab();
    buildStatusTab();
    buildMenusTab();
    buildMiscTab();

    m_bindings.load(m_settings);
    m_databaseLocation->setText(m_settings.getSetting(DatabasePathKey));
    connect(m_databaseLocation, &ClickableLabel::doubleClicked, this,
        &GeneralSettingsDialog::on_field_databaselocation_clicked);
    connect(m_buttons, &QDialogButtonBox::clicked, this, &GeneralSettingsDialog::on_buttonBox_clicked);
    connect(m_recentWindow, &QCheckBox::stateChanged, this,
        &GeneralSettingsDialog::on_checkbox_enable_recentcallswindow_stateChanged);
    connect(m_footer, &QCheckBox::stateChanged, this,
        [this](int state) { on_checkbox_footerdisplay_checkStateChanged(Qt::CheckState(state)); });
    on_checkbox_enable_recentcallswindow_stateChanged(m_recentWindow->checkState());
    on_checkbox_footerdisplay_checkStateChanged(m_footer->checkState());
    // The directory tabs are built, loaded and saved, but not offered.
    m_tabs->removeTab(1);
}

GeneralSettingsDialog::~GeneralSettingsDialog() = default;

QWidget *GeneralSettingsDialog::addTab(const QString &title, QFormLayout *&form)
{
    auto *page = new QWidget(m_tabs);
    form = new QFormLayout(page);
    m_tabs->addTab(page, title);
    return page;
}

QCheckBox *GeneralSettingsDialog::check(
    QFormLayout *form, const char *name, const QString &label, const Setting &option)
{
    auto *box = new QCheckBox(label, form->parentWidget());
    box->setObjectName(QLatin1String(name));
    form->addRow(box);
    m_bindings.bind(option, box);
    return box;
}

QLineEdit *GeneralSettingsDialog::line(
    QFormLayout *form, const char *name, const QString &label, const Setting &option)
{
    auto *edit = new QLineEdit(form->parentWidget());
    edit->setObjectName(QLatin1String(name));
    rowLabel(form, label, edit);
    m_bindings.bind(option, edit);
    return edit;
}

void GeneralSettingsDialog::buildCloudTab()
{
    QFormLayout *form = nullptr;
    addTab(QStringLiteral("Brisko Cloud"), form);
    line(form, "field_briskocloudapiurl", QStringLiteral("API URL"), Settings::BriskoCloudApiUrl);
    line(form, "field_authenticationtoken", QStringLiteral("Authentication Token"),
        Settings::AuthenticationToken);
    auto *row = new QWidget(form->parentWidget());
    auto *rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(0, 0, 0, 0);
    m_userDir = new QLineEdit(row);
    m_userDir->setObjectName(QStringLiteral("field_userdirectory"));
    m_userDir->setAccessibleName(QStringLiteral("User Directory"));
    auto *choose = new QToolButton(row);
    choose->setObjectName(QStringLiteral("selectuserdirectoryButton"));
    choose->setText(QStringLiteral("..."));
    choose->setAccessibleName(QStringLiteral("Choose the user directory"));
    rowLayout->addWidget(m_userDir);
    rowLayout->addWidget(choose);
    auto *label = new QLabel(QStringLiteral("User Directory"), row->parentWidget());
    label->setBuddy(m_userDir);
    form->addRow(label, row);
    m_bindings.bind(Settings::UserDir, m_userDir);
    connect(
        choose, &QToolButton::clicked, this, &GeneralSettingsDialog::on_selectuserdirectoryButton_clicked);
    line(form, "field_issuesapiurl", QStringLiteral("Issues API URL"), Settings::IssuesApiUrl);
    line(form, "field_issuesapitoken", QStringLiteral("Issues Authent Token"), Settings::IssuesApiToken);
}

void GeneralSettingsDialog::buildDirectoryTab()
{
    QFormLayout *form = nullptr;
    addTab(QStringLiteral("Directory Tabs"), form);
    check(form, "checkbox_corporateinternal", QStringLiteral("Corporate directory (Internal)"),
        Settings::CorporateDirectoryInternal);
    check(form, "checkbox_corporateexternal", QStringLiteral("Corporate directory (External)"),
        Settings::CorporateDirectoryExternal);
    check(form, "checkbox_enable_speeddialstab", QStringLiteral("Enable Speed dials tab"),
        Settings::EnableSpeedDialsTab);
    check(form, "checkbox_enable_contactdetailstab", QStringLiteral("Enable Contact Details tab"),
        Settings::EnableContactDetailsTab);
    check(form, "checkbox_enable_callprogresstab", QStringLiteral("Enable Call progress tab"),
        Settings::EnableCallProgressTab);
    check(form, "checkbox_includeuserphones", QStringLiteral("Include User phones in Directory tabs"),
        Settings::IncludeUserPhonesInDirectory);
    auto *lookup = new QComboBox(form->parentWidget());
    lookup->setObjectName(QStringLiteral("select_contactlookup"));
    lookup->addItems({QStringLiteral("Disable"), QStringLiteral("LDAP"), QStringLiteral("KesCloud Contact"),
        QStringLiteral("Other REST API")});
    rowLabel(form, QStringLiteral("Contact Lookup"), lookup);
    m_bindings.bind(Settings::ContactLookup, lookup);
    auto *fields = new QComboBox(form->parentWidget());
    fields->setObjectName(QStringLiteral("comboBox_2"));
    fields->addItems(
        {QStringLiteral("Contact name"), QStringLiteral("Client name"), QStringLiteral("Client address")});
    rowLabel(form, QStringLiteral("Contact display fields"), fields);
    check(form, "checkbox_separatecorporatedirectory",
        QStringLiteral("Separate Corporate directory tabs by Dept/Tenant"),
        Settings::SeparateCorporateDirectory);
    check(form, "checkbox_directory_lookup", QStringLiteral("Directory Lookup"),
        Settings::IncomingCallDirectoryLookup);
    check(form, "checkbox_answer_lookup", QStringLiteral("Lookup on call answer"),
        Settings::LookupCallOnAnswer);
    m_bindings.bind(Settings::SortCorporateDirectoryBy,
        radioRow(form, QStringLiteral("Sort directory entries by"),
            {{QStringLiteral("username"), "radio_sortbyusername", QStringLiteral("Username")},
                {QStringLiteral("extension"), "radio_sortbyextension", QStringLiteral("Extension Number")}}));
}

void GeneralSettingsDialog::buildCallTab()
{
    QFormLayout *form = nullptr;
    addTab(QStringLiteral("Call Features"), form);
    check(form, "checkbox_unattendedtransferondrop", QStringLiteral("Unattended transfer on call drag/drop"),
        Settings::UnattendedTransferOnDrop);
    check(form, "checkbox_attendedtransferondrop", QStringLiteral("Attended transfer on call drag/drop"),
        Settings::AttendedTransferOnDrop);
    check(form, "checkbox_foregroundonincomingcall", QStringLiteral("Foreground on Incoming Call"),
        Settings::ForegroundOnIncomingCall);
    line(form, "field_outbound_dial_prefix", QStringLiteral("Outbound dial prefix"),
        Settings::OutboundDialPrefix);
    m_recentWindow = check(form, "checkbox_enable_recentcallswindow",
        QStringLiteral("Display Recent Calls Window"), Settings::EnableRecentCallsWindow);
    m_recentLimit = new QSpinBox(form->parentWidget());
    m_recentLimit->setObjectName(QStringLiteral("field_recentcallslimit"));
    m_recentLimit->setRange(0, 100);
    rowLabel(form, QStringLiteral("Number of Recent calls to display"), m_recentLimit);
    m_bindings.bind(Settings::RecentCallsLimit, m_recentLimit);
    check(form, "checkbox_answerfirstifmany",
        QStringLiteral("Answer 1st call of many calls on local phone pickup"), Settings::AnswerFirstIfMany);
    auto *maxCalls = new QSpinBox(form->parentWidget());
    maxCalls->setObjectName(QStringLiteral("field_maxcallcount"));
    maxCalls->setRange(1, 16);
    rowLabel(form, QStringLiteral("Max call count"), maxCalls);
    m_bindings.bind(Settings::MaxCallCount, maxCalls);
    m_bindings.bind(Settings::CallLabelTopLeftText,
        radioRow(form, QStringLiteral("Inbound call Top Header"),
            {{QString(), "radio_noheader", QStringLiteral("No header")},
                {QStringLiteral("shortgreeting"), "radio_shortgreeting",
                    QStringLiteral("Tenant Short Greeting")},
                {QStringLiteral("contactname"), "radio_contactname",
                    QStringLiteral("Caller Contact Name")}}));
}

void GeneralSettingsDialog::buildStatusTab()
{
    QFormLayout *form = nullptr;
    addTab(QStringLiteral("Status Bar"), form);
    m_footer = check(
        form, "checkbox_footerdisplay", QStringLiteral("Display Status bar footer"), Settings::FooterDisplay);
    m_footerCompany = check(form, "checkbox_footershowcompany", QStringLiteral("Display loggedin Company"),
        Settings::FooterShowCompany);
    m_footerUser = check(
        form, "checkbox_footershowuser", QStringLiteral("Display loggedin User"), Settings::FooterShowUser);
}

void GeneralSettingsDialog::buildMenusTab()
{
    QFormLayout *form = nullptr;
    addTab(QStringLiteral("Menus"), form);
    check(form, "checkbox_enable_siplog", QStringLiteral("Enable SIP log file"), Settings::EnableSIPLog);
    check(form, "checkbox_enable_connectiontest", QStringLiteral("Enable Connection Tester"),
        Settings::EnableConnectionTest);
    check(form, "checkbox_enable_rtcp", QStringLiteral("Enable RTCP data collection"), Settings::EnableRTCP);
    check(form, "checkbox_enable_video", QStringLiteral("Enable Video menus"), Settings::EnableVideo);
    check(form, "checkbox_enable_chat", QStringLiteral("Enable Chat menus"), Settings::EnableChat);
    check(
        form, "checkbox_enable_faxbutton", QStringLiteral("Enable Fax features"), Settings::EnableFaxButton);
}

void GeneralSettingsDialog::buildMiscTab()
{
    QFormLayout *form = nullptr;
    addTab(QStringLiteral("Misc"), form);
    check(form, "checkbox_autoregisteronstartup",
        QStringLiteral("Auto-register Panel Extensions on startup or login"),
        Settings::AutoRegisterOnStartupOrLogin);
    m_databaseLocation = new ClickableLabel(form->parentWidget());
    m_databaseLocation->setObjectName(QStringLiteral("field_databaselocation"));
    m_databaseLocation->setToolTip(QStringLiteral("Double-click to choose another database"));
    rowLabel(form, QStringLiteral("Database Location"), m_databaseLocation);
}

void GeneralSettingsDialog::on_checkbox_enable_recentcallswindow_stateChanged(int state)
{
    m_recentLimit->setEnabled(state != Qt::Unchecked);
}

void GeneralSettingsDialog::on_checkbox_footerdisplay_checkStateChanged(const Qt::CheckState &state)
{
    m_footerCompany->setEnabled(state == Qt::Checked);
    m_footerUser->setEnabled(state == Qt::Checked);
}

void GeneralSettingsDialog::on_field_databaselocation_clicked()
{
    const QString chosen = QFileDialog::getOpenFileName(this, QStringLiteral("Open database"),
        QFileInfo(m_databaseLocation->text()).absolutePath(), QStringLiteral("*.db"));
    if (!chosen.isEmpty())
        m_databaseLocation->setText(chosen);
}

void GeneralSettingsDialog::on_selectuserdirectoryButton_clicked()
{
    QFileDialog dialog(this);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
        && !dialog.selectedFiles().first().isEmpty())
        m_userDir->setText(dialog.selectedFiles().first());
}

bool GeneralSettingsDialog::save()
{
    QString error;
    if (!m_settings.setSettings(m_bindings.values(), &error)) {
        Prompt::critical(QStringLiteral("Settings not saved"),
            QStringLiteral("The settings could not be stored, nothing was changed: ") + error);
        return false;
    }
    // Read at the next start; only written when it changed, so a settings file that cannot be
    // written does not stand in the way of the options above.
    if (m_databaseLocation->text() != m_settings.getSetting(DatabasePathKey))
        m_settings.setSetting(DatabasePathKey, m_databaseLocation->text(), true);
    return true;
}

void GeneralSettingsDialog::on_buttonBox_clicked(QAbstractButton *button)
{
    if (m_buttons->standardButton(button) == QDialogButtonBox::Save && !save())
        return; // the dialog stays open: Discard or try again
    emit settings_updated();
    close();
}
