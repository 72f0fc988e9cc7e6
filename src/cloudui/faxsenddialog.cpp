#include "cloudui/faxsenddialog.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "cloud/faxjob.h"
#include "core/log.h"
#include "core/prompt.h"

namespace {
template <typename W> W *named(W *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}
} // namespace

FaxSendDialog::FaxSendDialog(
    const QString &extension, const QString &destination, Settings &settings, Kesapi &kesapi, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_extension(extension)
    , m_settings(settings)
    , m_job(new FaxJob(kesapi, this))
{
    setObjectName(QStringLiteral("FaxSendDialog"));
    setWindowTitle(QStringLiteral("Fax Send"));
    resize(592, 376);
    m_pickFile = [this] {
        return QFileDialog::getOpenFileName(
            this, QStringLiteral("Open file to send"), QString(), QStringLiteral("*"));
    };

    m_fileField = named(new QLineEdit(QStringLiteral("-- Select file to send --"), this), "labelFilepath");
    m_fileField->setReadOnly(true);
    auto *select = named(new QPushButton(QStringLiteral("Select File"), this), "buttonSelectfile");
    m_standard = named(new QRadioButton(QStringLiteral("Standard"), this), "radioQualityStandard");
    m_fine = named(new QRadioButton(QStringLiteral("Fine"), this), "radioQualityFine");
    m_superfine = named(new QRadioButton(QStringLiteral("Superfine"), this), "radioQualitySuperfine");
    m_standard->setChecked(true);
    m_destination = named(new QLineEdit(destination, this), "field_destination1");
    m_status = named(new QLabel(this), "labelDestination1status");
    m_send = named(new QPushButton(QStringLiteral("Send Fax"), this), "buttonSendfax");
    m_cancel = named(new QPushButton(QStringLiteral("Cancel"), this), "buttonCancel");

    auto *grid = new QGridLayout(this);
    auto *fileLabel = new QLabel(QStringLiteral("File"), this);
    fileLabel->setBuddy(m_fileField);
    grid->addWidget(fileLabel, 0, 0);
    grid->addWidget(m_fileField, 0, 1);
    grid->addWidget(select, 0, 2);
    auto *qualityLabel = new QLabel(QStringLiteral("Quality"), this);
    grid->addWidget(qualityLabel, 1, 0);
    auto *qualities = new QHBoxLayout;
    qualities->addWidget(m_standard);
    qualities->addWidget(m_fine);
    qualities->addWidget(m_superfine);
    qualities->addStretch();
    grid->addLayout(qualities, 1, 1, 1, 2);
    auto *destinationLabel = new QLabel(QStringLiteral("Destination"), this);
    destinationLabel->setBuddy(m_destination);
    grid->addWidget(destinationLabel, 2, 0);
    grid->addWidget(m_destination, 2, 1);
    grid->addWidget(m_status, 2, 2);
    grid->setRowStretch(3, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_send);
    buttons->addWidget(m_cancel);
    grid->addLayout(buttons, 4, 0, 1, 3);

    connect(select, &QPushButton::clicked, this, &FaxSendDialog::on_buttonSelectfile_clicked);
    connect(m_send, &QPushButton::clicked, this, &FaxSendDialog::on_buttonSendfax_clicked);
    connect(m_cancel, &QPushButton::clicked, this, &FaxSendDialog::on_buttonCancel_clicked);
    connect(m_job, &FaxJob::statusChanged, m_status, &QLabel::setText);
    connect(m_job, &FaxJob::failed, this, &FaxSendDialog::showError);
    connect(m_destination, &QLineEdit::textChanged, m_job, &FaxJob::setDestination);
}

FaxSendDialog::~FaxSendDialog()
{
    m_job->stop();
}

void FaxSendDialog::on_buttonSelectfile_clicked()
{
    m_filePath = m_pickFile ? m_pickFile() : QString();
    if (!m_filePath.isEmpty())
        m_fileField->setText(QFileInfo(m_filePath).fileName());
}

void FaxSendDialog::on_buttonSendfax_clicked()
{
    const QString extref = faxExtref(QDateTime::currentDateTime(), m_extension);
    LOG(QStringLiteral("Extref: ") + extref);
    if (m_destination->text().trimmed().isEmpty()) {
        showError(QStringLiteral("No destination set"));
        return;
    }
    if (const QString problem = checkFaxFile(m_filePath); !problem.isEmpty()) {
        showError(problem);
        return;
    }
    const FaxResolution resolution = m_standard->isChecked() ? FaxResolution::Standard
        : m_fine->isChecked()                                ? FaxResolution::Fine
        : m_superfine->isChecked()                           ? FaxResolution::Superfine
                                                             : FaxResolution::None;
    if (!m_job->send(extref, m_destination->text(), resolution, m_filePath)) {
        showError(QStringLiteral("The file cannot be read"));
        return;
    }
    m_send->setEnabled(false);
    m_cancel->setText(QStringLiteral("Close"));
}

void FaxSendDialog::on_buttonCancel_clicked()
{
    close();
}

void FaxSendDialog::closeEvent(QCloseEvent *event)
{
    m_job->stop();
    QWidget::closeEvent(event);
}

void FaxSendDialog::showError(const QString &text)
{
    Prompt::warning(QStringLiteral("Error"), text);
}
