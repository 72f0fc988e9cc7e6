// Main window: the compact layout built at start-up and the option switches applied to it.
#include <QApplication>
#include <QLabel>
#include <QStatusBar>
#include <QTabBar>
#include <QTextDocument>
#include <QVBoxLayout>

#include "cloud/kesapi.h"
#include "cloud/redmine.h"
#include "core/log.h"
#include "core/prompt.h"
#include "core/settings.h"
#include "engine/sipdialer.h"
#include "panel/directory.h"
#include "panel/orvalo.h"
#include "panel/toolwindows.h"
#include "ui_orvalo.h"
#include "widgets/flowlayout.h"

QWidget *Orvalo::callArea() const
{
    return ui->inboundCalls;
}

void Orvalo::setupLayout()
{
    auto *calls = new QVBoxLayout(ui->inboundCalls);
    calls->setContentsMargins(0, 0, 0, 0);
    calls->setAlignment(Qt::AlignTop);
    new FlowLayout(ui->outboundCalls, 0, -1, -1);

    ui->extensionsTable->setContextMenuPolicy(Qt::CustomContextMenu);
    ui->extensionsTable->setFocusPolicy(Qt::NoFocus);
    ui->extensionsTable->setSelectionMode(QAbstractItemView::NoSelection);
    ui->speeddials->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui->speeddials->setSelectionMode(QAbstractItemView::SingleSelection);

    // The directories pane is built but kept out of the compact layout; the progress log inside
    // it keeps receiving lines, the latest ProgressLogLines of them.
    ui->call_progress_log->document()->setMaximumBlockCount(ProgressLogLines);
    ui->DirectoriesBox->hide();
    ui->gridLayout_9->removeWidget(ui->DirectoriesBox);
    ui->Orvalo_mainwidget->setMinimumWidth(460);
    setMinimumWidth(460);
    for (QWidget *box :
        {static_cast<QWidget *>(ui->CallControlBox), static_cast<QWidget *>(ui->ExtensionsBox),
            static_cast<QWidget *>(ui->InboundCallsBox), static_cast<QWidget *>(ui->RecentCallsBox)})
        box->setMaximumWidth(QWIDGETSIZE_MAX);
    ui->InboundCallsBox->setTitle(QStringLiteral("Call status"));
    // Room for three call labels before the area scrolls.
    ui->scrollArea->setMinimumHeight(3 * 64);
    ui->OutboundCallsBox->hide();
    setWindowTitle(QStringLiteral("Orvalo Lite"));
    ui->ExtensionsBox->setTitle(QStringLiteral("My Extensions"));

    ui->TransferButton->hide();
    ui->FaxButton->hide();
    ui->RedialButton->hide();
    ui->DialpadButton->hide();

    const int buttonHeight = ui->PhoneNumber->sizeHint().height() + 2;
    for (QWidget *button :
        {ui->DialpadButton2, ui->DialButton, ui->AnswerButton, ui->HangupButton, ui->RejectButton})
        button->setMinimumHeight(buttonHeight);

    disableUnbuiltControls();
    setMinimumSize(sizeHint());
    const int tabs = ui->tab_directories->count();
    if (tabs >= 4)
        ui->tab_directories->setTabEnabled(tabs - 4, false);
}

void Orvalo::disableUnbuiltControls()
{
    // The windows behind these entries are not built yet, or not handed over yet (the connection
    // tester, see setToolWindows; the chat windows, see setChatWindows; the settings windows and
    // the call log, see setSettingsWindows); the options still show or hide them.
    for (QAction *entry : {ui->actionGeneral_Settings, ui->actionAudio_settings, ui->actionVideo_settings,
             ui->actionChat_settings, ui->actionCall_log, ui->actionMissed_calls, ui->actionChat_history,
             ui->actionConnection_Tester, ui->actionSip_Logger, ui->actionRTCP_Logger})
        entry->setEnabled(false);
    // Transfers, fax, chat (until its windows are handed over) and speed-dial editing.
    m_unbuiltControls = {ui->TransferButton, ui->WarmTransferButton, ui->FaxButton, ui->ChatButton,
        ui->speeddialAdd, ui->speeddialRemove};
    for (QWidget *control : std::as_const(m_unbuiltControls))
        control->setEnabled(false);
}

void Orvalo::setToolWindows(ToolWindows *windows)
{
    m_toolWindows = windows;
    for (QAction *entry : {ui->actionConnection_Tester, ui->actionSip_Logger, ui->actionRTCP_Logger})
        entry->setEnabled(windows != nullptr);
}

void Orvalo::on_actionConnection_Tester_triggered()
{
    if (m_toolWindows)
        m_toolWindows->openConnectionTester();
}

void Orvalo::enableControl(QWidget *control, bool enabled)
{
    control->setEnabled(enabled && !m_unbuiltControls.contains(control));
}

void Orvalo::applyStoredSize()
{
    // A size of zero shows the window at its minimum size.
    QSize size(0, 0);
    if (m_settings.getSetting(Settings::MainWindowHeight).isEmpty())
        m_settings.setSetting(Settings::MainWindowHeight, QStringLiteral("0"));
    else
        size.setHeight(m_settings.getSetting(Settings::MainWindowHeight).toInt());
    if (m_settings.getSetting(Settings::MainWindowWidth).isEmpty())
        m_settings.setSetting(Settings::MainWindowWidth, QStringLiteral("0"));
    else
        size.setWidth(m_settings.getSetting(Settings::MainWindowWidth).toInt());
    resize(size);
}

void Orvalo::checkSettings()
{
    const auto on = [this](const Setting &option) { return m_settings.checkSetting(option, Setting::Yes); };
    ui->actionRTCP_Logger->setVisible(on(Settings::EnableRTCP));
    ui->actionSip_Logger->setVisible(on(Settings::EnableSIPLog));
    ui->actionConnection_Tester->setVisible(on(Settings::EnableConnectionTest));
    ui->actionVideo_settings->setVisible(on(Settings::EnableVideo));
    const bool chat = on(Settings::EnableChat);
    ui->actionChat_settings->setVisible(chat);
    ui->actionChat_history->setVisible(chat);
    ui->ChatButton->setVisible(chat);
    ui->FaxButton->setVisible(on(Settings::EnableFaxButton));

    updateTabs();
    const QString token = m_settings.getSetting(Settings::AuthenticationToken);
    if (!token.isEmpty())
        m_kesapi->setLogin(token);
    if (const QString url = m_settings.getSetting(Settings::IssuesApiUrl); !url.isEmpty())
        m_redmine->setUrl(url);
    if (const QString key = m_settings.getSetting(Settings::IssuesApiToken); !key.isEmpty())
        m_redmine->setToken(key);
    updateFooter();
    if (m_directory && m_settings.getSetting(Settings::SortCorporateDirectoryBy) != m_lastSortBy)
        load_companydevices();
    const int maxCalls = m_settings.getIntSetting(Settings::MaxCallCount);
    if (m_dialer->getMaxCallCount() != maxCalls)
        m_dialer->setMaxCallCount(maxCalls);
    updateRecentCallsBox();
    reloadRecentCalls(true);
}

void Orvalo::updateTabs()
{
    QTabWidget *tabs = ui->tab_directories;
    const int n = tabs->count();
    if (n < 3)
        return;
    tabs->setTabEnabled(n - 3, m_settings.checkSetting(Settings::EnableSpeedDialsTab, Setting::Yes));
    tabs->setTabEnabled(n - 2, m_settings.checkSetting(Settings::EnableContactDetailsTab, Setting::Yes));
    tabs->setTabEnabled(n - 1, m_settings.checkSetting(Settings::EnableCallProgressTab, Setting::Yes));
    if (!tabs->isTabEnabled(tabs->currentIndex()))
        tabs->setCurrentIndex(0);
    // Visiting every tab once lays out their pages before they are first shown.
    const int chosen = tabs->currentIndex();
    for (int i = 0; i < n; ++i)
        tabs->setCurrentIndex(i);
    tabs->setCurrentIndex(chosen);
}

void Orvalo::updateFooter()
{
    if (!m_settings.checkSetting(Settings::FooterDisplay, Setting::Yes)) {
        if (m_footer && !m_footer->text().isEmpty()) {
            statusBar()->removeWidget(m_footer);
            delete m_footer;
            m_footer = nullptr;
        }
        return;
    }
    QString text;
    const QString company = m_settings.getSetting(Settings::FooterCompanyname);
    const QString user = m_settings.getSetting(Settings::FooterUsername);
    if (m_settings.checkSetting(Settings::FooterShowCompany, Setting::Yes) && !company.isEmpty())
        text += QStringLiteral("Company ") + company + QLatin1Char(' ');
    if (m_settings.checkSetting(Settings::FooterShowUser, Setting::Yes) && !user.isEmpty())
        text += QStringLiteral("User ") + user;
    if (!text.isEmpty())
        text.prepend(QStringLiteral("Logged in as "));
    if (!m_footer) {
        m_footer = new QLabel(text, this);
        m_footer->setIndent(12);
        QFont font = QApplication::font();
        font.setPixelSize(12);
        m_footer->setFont(font);
        statusBar()->addPermanentWidget(m_footer, 1);
    } else {
        m_footer->setText(text);
    }
}

void Orvalo::updateRecentCallsBox()
{
    QGroupBox *box = ui->RecentCallsBox;
    const bool wasVisible = box->isVisibleTo(this);
    const bool show = m_settings.checkSetting(Settings::EnableRecentCallsWindow, Setting::Yes);
    box->setMinimumHeight(show ? 200 : 0);
    box->setVisible(show);
    box->updateGeometry();
    ui->Orvalo_mainwidget->updateGeometry();
    ui->Orvalo_mainwidget->adjustSize();
    setMinimumHeight(sizeHint().height());
    if (wasVisible && !show)
        resize(width(), height() - box->height());
    layout()->invalidate();
    updateGeometry();
}

void Orvalo::on_actionAbout_triggered()
{
    Prompt::information(QStringLiteral("About"),
        QStringLiteral("Orvalo Lite, the operator's call-handling panel by Brisko.\n\nVersion: %1")
            .arg(QStringLiteral("1.0.0")));
}
