#include "settingsui/orvaloaccdialog.h"

#include <QCheckBox>
#include <QDataWidgetMapper>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlTableModel>
#include <QStyle>

#include "core/dbmgr.h"
#include "core/log.h"
#include "core/prompt.h"
#include "panel/codeclist.h"
#include "ui_orvaloaccdialog.h"

namespace {
const char *const InvalidProperty = "invalid";

const QString StyleSheet = QStringLiteral(
    "QLineEdit { border: 1px solid darkgrey; border-radius: 4px; padding: 0 8px; }"
    "QLineEdit[invalid=\"true\"] { border: 1px solid #D9534F; background: #FDECEA; }"
    "QDialog { border: 2px outset grey; border-radius: 4px; font-size: 12px; padding: 8px; }"
    "QTabWidget::pane { border: 1px solid #C2C7CB; border-top: 2px solid #C2C7CB; }"
    "QTabWidget::tab-bar { left: 5px; }"
    "QTabBar::tab { border: 2px solid #C4C4C3; border-top-left-radius: 4px; border-top-right-radius: 4px;"
    " min-width: 10ex; padding: 2px; }"
    "QTabBar::tab:!selected { margin-top: 2px; }"
    "QLabel#errorLabel { color: #B02A20; }");

struct CodecBox
{
    QCheckBox *Ui::Orvaloaccdialog::*box;
    const char *key;
};

constexpr CodecBox CodecBoxes[] = {
    {&Ui::Orvaloaccdialog::codec_ilbc, "ilbc"},
    {&Ui::Orvaloaccdialog::codec_g711ulaw, "ulaw"},
    {&Ui::Orvaloaccdialog::codec_g722hd, "g722"},
    {&Ui::Orvaloaccdialog::codec_g711alaw, "alaw"},
    {&Ui::Orvaloaccdialog::codec_gsm, "gsm"},
    {&Ui::Orvaloaccdialog::codec_speexwideband, "speexwideband"},
    {&Ui::Orvaloaccdialog::codec_opus, "opus"},
};

// Widget -> column, in the editor's order; the label names the field in messages.
struct Binding
{
    const char *widget; // object name in the form
    const char *column;
    const char *label;
};

#define FIELD(member, column, label)                                                                         \
    {                                                                                                        \
#member, column, label                                                                               \
    }

const Binding Bindings[] = {
    FIELD(accountnameEdit, "accountname", "Account Name"),
    FIELD(domainEdit, "domain", "Domain"),
    FIELD(userEdit, "user", "SIP User"),
    FIELD(passwordEdit, "password", "SIP Password"),
    FIELD(extensionEdit, "extension", "Extension"),
    FIELD(calleridEdit, "callerid", "CallerID"),
    FIELD(defaultaccountcheckBox, "defaultaccount", "Default"),
    FIELD(activeaccountcheckBox, "activeaccount", "Active"),
    FIELD(sipserverEdit, "sipserveraddress", "SIP Server"),
    FIELD(outboundproxyEdit, "proxyserveraddress", "Outbound Proxy"),
    FIELD(stunserverEdit, "stunserveraddress", "Stun Server"),
    FIELD(provisioningEdit, "provisioningserveraddress", "Provisioning server"),
    FIELD(sipportEdit, "sipport", "SIP port"),
    FIELD(regintEdit, "registrationtime", "Registration time"),
    FIELD(voicemailEdit, "voicemail", "Voicemail"),
    FIELD(dtmftypeSelect, "dtmftype", "DTMF"),
    FIELD(audiocodecs, "audiocodecs", "Audio Codecs"),
    FIELD(SIPtransportEdit, "siptransport", "SIP Transport"),
    FIELD(RTPtransportEdit, "rtptransport", "RTP Transport"),
    FIELD(checkbox_useipv6, "useipv6", "Use IPv6"),
};
#undef FIELD

const Binding *bindingFor(const QString &column)
{
    for (const Binding &binding : Bindings) {
        if (column == QLatin1String(binding.column))
            return &binding;
    }
    return nullptr;
}

QWidget *fieldOf(const QWidget *dialog, const Binding &binding)
{
    return dialog->findChild<QWidget *>(QLatin1String(binding.widget));
}

void markInvalid(QWidget *widget, bool invalid)
{
    widget->setProperty(InvalidProperty, invalid);
    widget->style()->unpolish(widget);
    widget->style()->polish(widget);
}
} // namespace

Orvaloaccdialog::Orvaloaccdialog(dbmgr &db, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::Orvaloaccdialog>())
    , m_db(db)
    , m_model(new QSqlTableModel(this, db.account_database()))
    , m_mapper(new QDataWidgetMapper(this))
{
    ui->setupUi(this);
    setStyleSheet(StyleSheet);
    m_model->setTable(QStringLiteral("accounts"));
    m_model->setEditStrategy(QSqlTableModel::OnRowChange);
    m_model->select();
    bindFields();
    setupCodecBoxes();

    ui->errorLabel->hide();
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &Orvaloaccdialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &Orvaloaccdialog::reject);
    connect(ui->recordingcheckBox, &QCheckBox::toggled, ui->recordingFolderEdit, &QWidget::setEnabled);
    connect(ui->recordingcheckBox, &QCheckBox::toggled, ui->recordingBrowseButton, &QWidget::setEnabled);
    connect(ui->recordingBrowseButton, &QToolButton::clicked, this, &Orvaloaccdialog::chooseRecordingFolder);
    // A field's message goes away as soon as it is edited.
    for (const Binding &binding : Bindings) {
        if (auto *edit = qobject_cast<QLineEdit *>(fieldOf(this, binding))) {
            const QString column = QLatin1String(binding.column);
            connect(edit, &QLineEdit::textEdited, this, [this, edit, column] {
                if (m_errors.remove(column))
                    markInvalid(edit, false);
            });
        }
    }
}

Orvaloaccdialog::~Orvaloaccdialog() = default;

void Orvaloaccdialog::bindFields()
{
    m_mapper->setModel(m_model);
    m_mapper->setSubmitPolicy(QDataWidgetMapper::ManualSubmit);
    for (const Binding &binding : Bindings)
        m_mapper->addMapping(fieldOf(this, binding), m_model->fieldIndex(QLatin1String(binding.column)));
}

QWidget *Orvaloaccdialog::fieldWidget(const QString &column) const
{
    const Binding *binding = bindingFor(column);
    return binding ? fieldOf(this, *binding) : nullptr;
}

void Orvaloaccdialog::setupCodecBoxes()
{
    for (const CodecBox &entry : CodecBoxes) {
        QCheckBox *box = ui.get()->*entry.box;
        const QString key = QLatin1String(entry.key);
        const CodecList::Codec *codec = CodecList::find(key);
        if (codec && !codec->available) {
            box->setEnabled(false);
            box->setText(box->text() + QStringLiteral(" (unavailable)"));
            box->setToolTip(QStringLiteral("This build has no %1 codec.").arg(codec->label));
        }
        connect(box, &QCheckBox::toggled, this, [this, key](bool checked) { codecToggled(key, checked); });
    }
}

void Orvaloaccdialog::setCodecBoxesFromList()
{
    m_settingBoxes = true;
    const CodecList list(ui->audiocodecs->text());
    for (const CodecBox &entry : CodecBoxes)
        (ui.get()->*entry.box)->setChecked(list.contains(QLatin1String(entry.key)));
    setOpusSettingsEnabled(list.contains(QStringLiteral("opus")));
    m_settingBoxes = false;
}

void Orvaloaccdialog::codecToggled(const QString &key, bool checked)
{
    if (key == QLatin1String("opus"))
        setOpusSettingsEnabled(checked);
    if (m_settingBoxes)
        return;
    CodecList list(ui->audiocodecs->text());
    // Loading the list from the text keeps empty items; an empty text is no item at all.
    list.setEnabled(key, checked);
    ui->audiocodecs->setText(list.toString());
    if (m_errors.remove(QStringLiteral("audiocodecs")))
        markInvalid(ui->audiocodecs, false);
}

void Orvaloaccdialog::setOpusSettingsEnabled(bool enabled)
{
    ui->opusSettingsGroup->setEnabled(enabled);
}

void Orvaloaccdialog::newaccount()
{
    // Fresh rows (others may have changed the table), and no unsaved row left behind.
    m_model->select();
    const int row = m_model->rowCount();
    m_model->insertRow(row);
    m_mapper->setCurrentIndex(row);
    for (QLineEdit *edit : {ui->accountnameEdit, ui->extensionEdit, ui->domainEdit, ui->userEdit,
             ui->passwordEdit, ui->calleridEdit, ui->sipserverEdit, ui->outboundproxyEdit, ui->stunserverEdit,
             ui->provisioningEdit, ui->voicemailEdit, ui->SIPtransportEdit, ui->RTPtransportEdit})
        edit->clear();
    ui->defaultaccountcheckBox->setChecked(false);
    ui->activeaccountcheckBox->setChecked(true);
    ui->checkbox_useipv6->setChecked(false);
    ui->dtmftypeSelect->setCurrentIndex(0);
    ui->sipportEdit->setText(QStringLiteral("5060"));
    ui->regintEdit->setText(QStringLiteral("3600"));
    // The list keeps its empty first item: a new account stores ",ulaw".
    ui->audiocodecs->clear();
    ui->audiocodecs->setText(CodecList(QStringLiteral(",ulaw")).toString());
    setCodecBoxesFromList();
    clearProblems();
    m_isNew = true;
    ui->tabWidget->setCurrentIndex(0);
    show();
}

void Orvaloaccdialog::openSlot(const QModelIndex &index)
{
    openSlot(index.row());
}

void Orvaloaccdialog::openSlot(int row)
{
    m_model->select();
    setrow(row);
    setCodecBoxesFromList();
    clearProblems();
    m_isNew = false;
    show();
}

bool Orvaloaccdialog::openAccount(int accountId)
{
    m_model->select();
    const int column = m_model->fieldIndex(QStringLiteral("accountid"));
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (m_model->data(m_model->index(row, column)).toInt() == accountId) {
            openSlot(row);
            return true;
        }
    }
    LOG(QStringLiteral("No account ") + QString::number(accountId) + QStringLiteral(" to edit"));
    return false;
}

void Orvaloaccdialog::setrow(int row)
{
    m_mapper->setCurrentIndex(row);
}

void Orvaloaccdialog::updateModel()
{
    m_model->select();
}

int Orvaloaccdialog::currentAccountId() const
{
    const int row = m_mapper->currentIndex();
    if (row < 0)
        return -1;
    const QVariant id = m_model->data(m_model->index(row, m_model->fieldIndex(QStringLiteral("accountid"))));
    return id.isNull() ? -1 : id.toInt();
}

AccountValidator::Fields Orvaloaccdialog::currentFields() const
{
    AccountValidator::Fields f;
    f.accountId = m_isNew ? -1 : currentAccountId();
    f.accountname = ui->accountnameEdit->text();
    f.domain = ui->domainEdit->text();
    f.user = ui->userEdit->text();
    f.password = ui->passwordEdit->text();
    f.extension = ui->extensionEdit->text();
    f.callerid = ui->calleridEdit->text();
    f.sipserveraddress = ui->sipserverEdit->text();
    f.proxyserveraddress = ui->outboundproxyEdit->text();
    f.stunserveraddress = ui->stunserverEdit->text();
    f.provisioningserveraddress = ui->provisioningEdit->text();
    f.sipport = ui->sipportEdit->text();
    f.registrationtime = ui->regintEdit->text();
    f.voicemail = ui->voicemailEdit->text();
    f.audiocodecs = ui->audiocodecs->text();
    return f;
}

bool Orvaloaccdialog::isDuplicate(int accountId, const QString &extension, const QString &server) const
{
    QSqlQuery query = m_db.account_query();
    query.prepare(QStringLiteral("SELECT COUNT(*) FROM accounts WHERE extension = :extension "
                                 "AND lower(trim(sipserveraddress)) = lower(:server) AND accountid != :id "
                                 "AND (companydevice IS NULL OR companydevice = 0)"));
    query.bindValue(QStringLiteral(":extension"), extension);
    query.bindValue(QStringLiteral(":server"), server);
    query.bindValue(QStringLiteral(":id"), accountId);
    if (!query.exec() || !query.next()) {
        LOG(QStringLiteral("Duplicate check failed: ") + query.lastError().text());
        return false;
    }
    return query.value(0).toInt() > 0;
}

void Orvaloaccdialog::clearProblems()
{
    for (const Binding &binding : Bindings) {
        QWidget *widget = fieldOf(this, binding);
        markInvalid(widget, false);
        widget->setToolTip(QString());
    }
    m_errors.clear();
    ui->errorLabel->clear();
    ui->errorLabel->hide();
}

void Orvaloaccdialog::showProblems(const QList<AccountValidator::Problem> &problems)
{
    clearProblems();
    QStringList lines;
    QWidget *first = nullptr;
    for (const AccountValidator::Problem &problem : problems) {
        const Binding *binding = bindingFor(problem.column);
        if (!binding)
            continue;
        QWidget *widget = fieldOf(this, *binding);
        const QString previous = m_errors.value(problem.column);
        m_errors.insert(problem.column,
            previous.isEmpty() ? problem.message : previous + QLatin1Char(' ') + problem.message);
        widget->setToolTip(m_errors.value(problem.column));
        markInvalid(widget, true);
        lines.append(QStringLiteral("<b>") + QLatin1String(binding->label) + QStringLiteral(":</b> ")
            + problem.message.toHtmlEscaped());
        if (!first)
            first = widget;
    }
    ui->errorLabel->setText(lines.join(QStringLiteral("<br>")));
    ui->errorLabel->setVisible(!lines.isEmpty());
    if (first) {
        for (int tab = 0; tab < ui->tabWidget->count(); ++tab) {
            if (ui->tabWidget->widget(tab)->isAncestorOf(first))
                ui->tabWidget->setCurrentIndex(tab);
        }
        first->setFocus();
    }
}

bool Orvaloaccdialog::save()
{
    const QList<AccountValidator::Problem> problems
        = AccountValidator([this](int id, const QString &extension, const QString &server) {
              return isDuplicate(id, extension, server);
          }).validate(currentFields());
    if (!problems.isEmpty()) {
        QStringList columns;
        for (const auto &problem : problems)
            columns.append(problem.column);
        LOG(QStringLiteral("Account not saved, invalid fields: ") + columns.join(QStringLiteral(", ")));
        showProblems(problems);
        return false;
    }
    clearProblems();

    const int row = m_mapper->currentIndex();
    // A row saved here is one of the operator's own extensions, which the main window lists (a
    // directory entry is 1 and stays so). New rows, and rows an older release left without it,
    // get 0.
    const QModelIndex device = m_model->index(row, m_model->fieldIndex(QStringLiteral("companydevice")));
    if (m_model->data(device).isNull())
        m_model->setData(device, 0);
    if (!m_mapper->submit()) {
        LOG(QStringLiteral("error: ") + m_model->lastError().text());
        m_model->revertAll();
        return true;
    }
    int accountId = m_isNew ? -1 : currentAccountId();
    if (m_isNew) {
        // The row just inserted on this connection.
        QSqlQuery query = m_db.account_query();
        if (query.exec(QStringLiteral("SELECT last_insert_rowid()")) && query.next())
            accountId = query.value(0).toInt();
    }
    LOG(QStringLiteral("Account ") + QString::number(accountId) + QStringLiteral(" saved (row ")
        + QString::number(row) + QLatin1Char(')'));
    m_model->select();
    Prompt::information(windowTitle(), QStringLiteral("Data saved"));
    emit accountUpdate(accountId);
    if (m_isNew)
        emit newAccount(accountId);
    m_isNew = false;
    return true;
}

void Orvaloaccdialog::accept()
{
    if (!save())
        return;
    QDialog::accept();
}

void Orvaloaccdialog::reject()
{
    // Drops typed changes and a new row that was never saved.
    m_model->revertAll();
    m_isNew = false;
    clearProblems();
    QDialog::reject();
}

void Orvaloaccdialog::chooseRecordingFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Call Recording"), ui->recordingFolderEdit->text());
    if (!folder.isEmpty())
        ui->recordingFolderEdit->setText(folder);
}
