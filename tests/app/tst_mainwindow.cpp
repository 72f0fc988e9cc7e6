#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QSqlQuery>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include "app/appactivationfilter.h"
#include "core/asset.h"
#include "core/dbmgr.h"
#include "core/prompt.h"
#include "core/settings.h"
#include "diagnosticsui/connectiontesterdialog.h"
#include "diagnosticsui/diagnosticwindows.h"
#include "panel/account.h"
#include "panel/orvalo.h"
#include "settingsui/audiosettingsdialog.h"
#include "settingsui/configwindows.h"
#include "settingsui/extensionmanager.h"
#include "settingsui/generalsettingsdialog.h"
#include "settingsui/orvaloacc.h"
#include "settingsui/orvaloaccdialog.h"
#include "settingsui/orvalocdrdialog.h"
#include "ui_orvalo.h"
#include "widgets/callcontroldialog.h"
#include "widgets/dialpaddialog.h"

namespace {
// One extension row per entry of `defaults` (its defaultaccount), then a directory entry, which is
// not one of the operator's extensions.
void addExtensions(const QList<int> &defaults)
{
    QSqlQuery q;
    QVERIFY(q.exec(QStringLiteral("DELETE FROM accounts")));
    int n = 0;
    for (int isDefault : defaults) {
        q.prepare(QStringLiteral("INSERT INTO accounts (accountname, extension, domain, user, password, "
                                 "defaultaccount, companydevice) VALUES (:name, :user, '127.0.0.1', :user, "
                                 "'pw', :def, 0)"));
        q.bindValue(QStringLiteral(":name"), QStringLiteral("Desk %1").arg(n));
        q.bindValue(QStringLiteral(":user"), QString::number(2001 + n));
        q.bindValue(QStringLiteral(":def"), isDefault);
        QVERIFY(q.exec());
        ++n;
    }
    QVERIFY(q.exec(QStringLiteral("INSERT INTO accounts (accountname, user, domain, companydevice) "
                                  "VALUES ('Directory', '3000', '127.0.0.1', 1)")));
}

// The controls of `window` a screen reader could not name, on every page of its tabs and stacks:
// fields and buttons with neither a name of their own nor a label tied to them, and form labels
// tied to no field.
QStringList unnamedControls(QWidget *window)
{
    QStringList missing;
    for (const QFormLayout *form : window->findChildren<QFormLayout *>()) {
        for (int row = 0; row < form->rowCount(); ++row) {
            const QLayoutItem *item = form->itemAt(row, QFormLayout::LabelRole);
            const auto *label = item ? qobject_cast<QLabel *>(item->widget()) : nullptr;
            if (label && !label->buddy())
                missing << QStringLiteral("label ") + label->text();
        }
    }
    const auto scan = [&] {
        for (QWidget *w : window->findChildren<QWidget *>()) {
            const auto *button = qobject_cast<QAbstractButton *>(w);
            const bool field = button || qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w)
                || qobject_cast<QAbstractSpinBox *>(w);
            // Parts of Qt's own widgets (a spin box's text, a table's corner button) are skipped.
            if (!field || !w->isVisibleTo(window) || w->objectName().startsWith(QLatin1String("qt_"))
                || qobject_cast<QAbstractItemView *>(w->parentWidget()))
                continue;
            QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
            const bool named = !w->accessibleName().isEmpty() || (button && !button->text().isEmpty())
                || (iface && !iface->relations(QAccessible::Label).isEmpty());
            const QString name
                = w->objectName().isEmpty() ? QLatin1String(w->metaObject()->className()) : w->objectName();
            if (!named && !missing.contains(name))
                missing << name;
        }
    };
    scan();
    for (QStackedWidget *stack : window->findChildren<QStackedWidget *>()) {
        const int current = stack->currentIndex();
        for (int i = 0; i < stack->count(); ++i) {
            stack->setCurrentIndex(i);
            scan();
        }
        stack->setCurrentIndex(current);
    }
    return missing;
}
} // namespace

class TestMainWindow final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<dbmgr> m_db;
    std::unique_ptr<Asset> m_asset;
    QList<Prompt::Button> m_answers;
    std::unique_ptr<ScriptedPrompt> m_prompt;

private slots:

    void initTestCase()
    {
        m_settings = std::make_unique<Settings>(m_dir.path());
        m_db = std::make_unique<dbmgr>(*m_settings);
        QVERIFY(m_db->open());
        m_asset = std::make_unique<Asset>(m_dir.path());
        m_prompt = std::make_unique<ScriptedPrompt>([this](const Prompt::Question &q) {
            return m_answers.isEmpty() ? q.defaultButton : m_answers.takeFirst();
        });
        Prompt::install(m_prompt.get());
    }

    void cleanupTestCase() { Prompt::install(nullptr); }

    void closeHidesToTray()
    {
        Orvalo window(*m_db, *m_settings, *m_asset);
        QSignalSpy quit(&window, &Orvalo::quit);
        QCOMPARE(window.windowTitle(), QStringLiteral("Orvalo Lite"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.close();
        QVERIFY(!window.isVisible());
        QCOMPARE(quit.count(), 0);
    }

    void exitAsksFirst()
    {
        Orvalo window(*m_db, *m_settings, *m_asset);
        window.resize(500, 600);
        window.show();
        QSignalSpy quit(&window, &Orvalo::quit);
        const qsizetype asked = m_prompt->asked().size();

        m_answers = {Prompt::No};
        window.on_actionExit_2_triggered();
        QCOMPARE(quit.count(), 0);
        QCOMPARE(m_prompt->asked().size(), asked + 1);
        QCOMPARE(m_prompt->asked().last().title, QStringLiteral("Exit"));
        QCOMPARE(m_prompt->asked().last().text, QStringLiteral("Are you sure?"));
        QCOMPARE(m_prompt->asked().last().defaultButton, Prompt::No);
        QVERIFY(window.isVisible());

        // Yes, then Yes to keeping the new size.
        m_answers = {Prompt::Yes, Prompt::Yes};
        window.on_actionExit_2_triggered();
        QCOMPARE(quit.count(), 1);
        QCOMPARE(m_prompt->asked().last().title, QStringLiteral("Save new settings?"));
        QCOMPARE(m_settings->getSetting(Settings::MainWindowWidth), QString::number(window.width()));
        QCOMPARE(m_settings->getSetting(Settings::MainWindowHeight), QString::number(window.height()));

        // Size unchanged since it was stored: one question only, and closing really closes now.
        const qsizetype before = m_prompt->asked().size();
        m_answers = {Prompt::Yes};
        window.on_actionExit_2_triggered();
        QCOMPARE(m_prompt->asked().size(), before + 1);
        QCOMPARE(quit.count(), 2);
        window.close();
        QVERIFY(!window.isVisible());
    }

    void activationShowsHiddenWindow()
    {
        Orvalo window(*m_db, *m_settings, *m_asset);
        auto *filter = new AppActivationFilter(&window);
        qApp->installEventFilter(filter);
        QEvent activate(QEvent::ApplicationActivate);
        QVERIFY(!window.isVisible());
        QCoreApplication::sendEvent(qApp, &activate);
        QVERIFY(window.isVisible());
        QCoreApplication::sendEvent(qApp, &activate); // visible: nothing changes
        QVERIFY(window.isVisible());
        qApp->removeEventFilter(filter);
    }

    void compactLayout()
    {
        Orvalo window(*m_db, *m_settings, *m_asset);
        Ui::Orvalo *ui = window.form();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(ui->ExtensionsBox->title(), QStringLiteral("My Extensions"));
        QCOMPARE(ui->InboundCallsBox->title(), QStringLiteral("Call status"));
        QVERIFY(!ui->DirectoriesBox->isVisible());
        QVERIFY(!ui->OutboundCallsBox->isVisible());
        for (QWidget *hidden : {ui->TransferButton, ui->RedialButton, ui->DialpadButton})
            QVERIFY(!hidden->isVisible());
        QVERIFY(ui->DialButton->isVisible());
        QVERIFY(window.minimumWidth() >= 460);
        QCOMPARE(window.callArea(), ui->inboundCalls);
    }

    void optionsSwitchEntries()
    {
        m_settings->setSetting(Settings::EnableChat, Setting::No);
        m_settings->setSetting(Settings::EnableCallProgressTab, Setting::Yes);
        Orvalo window(*m_db, *m_settings, *m_asset);
        Ui::Orvalo *ui = window.form();
        window.show();
        QVERIFY(!ui->ChatButton->isVisible());
        QVERIFY(!ui->actionChat_history->isVisible());
        QVERIFY(!ui->actionChat_settings->isVisible());

        m_settings->setSetting(Settings::EnableChat, Setting::Yes);
        window.checkSettings();
        QVERIFY(ui->ChatButton->isVisible());
        QVERIFY(ui->actionChat_history->isVisible());
        QVERIFY(ui->actionChat_settings->isVisible());

        // Disabling the current tab moves to the first one.
        QTabWidget *tabs = ui->tab_directories;
        tabs->setCurrentIndex(tabs->count() - 1);
        m_settings->setSetting(Settings::EnableCallProgressTab, Setting::No);
        window.checkSettings();
        QVERIFY(!tabs->isTabEnabled(tabs->count() - 1));
        QCOMPARE(tabs->currentIndex(), 0);
    }

    // Options > General Settings: live once the settings windows are handed over; a saved option
    // that changes the layout (the recent calls box) reaches the window when the dialog closes,
    // Discard leaves it as it is.
    void generalSettingsChangeTheLayout()
    {
        m_settings->setSetting(Settings::EnableRecentCallsWindow, Setting::Yes);
        Orvalo window(*m_db, *m_settings, *m_asset);
        Ui::Orvalo *ui = window.form();
        QVERIFY(!ui->actionGeneral_Settings->isEnabled());
        ConfigWindows config(*m_settings, window.engine(), *m_asset, &window);
        window.setSettingsWindows(&config);
        window.show();
        QVERIFY(ui->RecentCallsBox->isVisible());
        for (QAction *entry : {ui->actionGeneral_Settings, ui->actionAudio_settings, ui->actionCall_log,
                 ui->actionMissed_calls})
            QVERIFY(entry->isEnabled());

        ui->actionGeneral_Settings->trigger();
        GeneralSettingsDialog *dialog = config.generalSettings();
        QVERIFY(dialog && dialog->isVisible() && dialog->isModal());
        dialog->findChild<QCheckBox *>(QStringLiteral("checkbox_enable_recentcallswindow"))
            ->setChecked(false);
        dialog->buttonBox()->button(QDialogButtonBox::Discard)->click();
        QVERIFY(ui->RecentCallsBox->isVisible());

        ui->actionGeneral_Settings->trigger();
        dialog = config.generalSettings();
        dialog->findChild<QCheckBox *>(QStringLiteral("checkbox_enable_recentcallswindow"))
            ->setChecked(false);
        dialog->buttonBox()->button(QDialogButtonBox::Save)->click();
        QVERIFY(!ui->RecentCallsBox->isVisible());
        QTRY_VERIFY(!config.generalSettings());

        ui->actionMissed_calls->trigger();
        QVERIFY(config.callLog() && config.callLog()->isVisible());
        QCOMPARE(config.callLog()->findChild<QComboBox *>(QStringLiteral("filter_direction"))->currentText(),
            QStringLiteral("Inbound"));
        m_settings->setSetting(Settings::EnableRecentCallsWindow, Setting::Yes);
    }

    // Help > Connection Tester: shown by its option, live once the diagnostic windows are handed
    // over, and it opens the tester (one window, reused).
    void connectionTesterOpensFromHelp()
    {
        m_settings->setSetting(Settings::EnableConnectionTest, Setting::No);
        Orvalo window(*m_db, *m_settings, *m_asset);
        QAction *entry = window.form()->actionConnection_Tester;
        QVERIFY(!entry->isVisible());
        m_settings->setSetting(Settings::EnableConnectionTest, Setting::Yes);
        window.checkSettings();
        QVERIFY(entry->isVisible());
        QVERIFY(!entry->isEnabled());

        DiagnosticWindows diagnostics(*m_settings, *m_db);
        window.setToolWindows(&diagnostics);
        QVERIFY(entry->isEnabled());
        entry->trigger();
        ConnectionTesterDialog *tester = diagnostics.connectionTester();
        QVERIFY(tester && tester->isVisible());
        QCOMPARE(tester->windowTitle(), QStringLiteral("Connection Tester"));
        tester->close();
        entry->trigger();
        QCOMPARE(diagnostics.connectionTester(), tester);
        QVERIFY(tester->isVisible());
        window.setToolWindows(nullptr);
        QVERIFY(!entry->isEnabled());
        m_settings->setSetting(Settings::EnableConnectionTest, Setting::No);
    }

    void footerComesAndGoes()
    {
        m_settings->setSetting(Settings::FooterCompanyname, QStringLiteral("Acme"));
        m_settings->setSetting(Settings::FooterUsername, QStringLiteral("alice"));
        Orvalo window(*m_db, *m_settings, *m_asset);
        QVERIFY(window.footerLabel());
        QCOMPARE(window.footerLabel()->text(), QStringLiteral("Logged in as Company Acme User alice"));

        m_settings->setSetting(Settings::FooterShowCompany, Setting::No);
        window.checkSettings();
        QCOMPARE(window.footerLabel()->text(), QStringLiteral("Logged in as User alice"));

        m_settings->setSetting(Settings::FooterDisplay, Setting::No);
        window.checkSettings();
        QVERIFY(!window.footerLabel());
        QVERIFY(window.statusBar()->findChildren<QLabel *>().isEmpty());

        m_settings->setSetting(Settings::FooterDisplay, Setting::Yes);
        window.checkSettings();
        QVERIFY(window.footerLabel());
        m_settings->setSetting(Settings::FooterShowCompany, Setting::Yes);
    }

    void controlsWithoutTheirFeatureAreNotLive()
    {
        // Options that show the entries and buttons of features still to come.
        const QList<const Setting *> options {&Settings::EnableChat, &Settings::EnableFaxButton,
            &Settings::EnableRTCP, &Settings::EnableSIPLog, &Settings::EnableConnectionTest,
            &Settings::EnableVideo};
        for (const Setting *option : options)
            m_settings->setSetting(*option, Setting::Yes);
        Orvalo window(*m_db, *m_settings, *m_asset);
        Ui::Orvalo *ui = window.form();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QStringList live;
        for (const QAction *menu : window.menuBar()->actions()) {
            for (const QAction *entry : menu->menu()->actions()) {
                if (!entry->isSeparator() && entry->isEnabled())
                    live << entry->text();
            }
        }
        QCOMPARE(live,
            (QStringList {QStringLiteral("Login"), QStringLiteral("Manage Extensions"),
                QStringLiteral("Reload Directories"), QStringLiteral("Exit"), QStringLiteral("About")}));
        // The settings windows and the call log come alive once they are handed over.
        ConfigWindows config(*m_settings, window.engine(), *m_asset, &window);
        window.setSettingsWindows(&config);
        QVERIFY(ui->actionGeneral_Settings->isEnabled() && ui->actionCall_log->isEnabled());
        QVERIFY(ui->ChatButton->isVisible() && ui->FaxButton->isVisible());
        QVERIFY(!ui->speeddialAdd->isEnabled() && !ui->speeddialRemove->isEnabled());

        // No extension yet: nothing to dial from and no call to act on.
        for (QWidget *control :
            {static_cast<QWidget *>(ui->PhoneNumber), static_cast<QWidget *>(ui->DialButton),
                static_cast<QWidget *>(ui->VoicemailButton), static_cast<QWidget *>(ui->HoldToggleButton),
                static_cast<QWidget *>(ui->MuteToggleButton), static_cast<QWidget *>(ui->RecButton),
                static_cast<QWidget *>(ui->DNDButton), static_cast<QWidget *>(ui->WarmTransferButton),
                static_cast<QWidget *>(ui->ChatButton), static_cast<QWidget *>(ui->FaxButton)})
            QVERIFY2(!control->isEnabled(), qPrintable(control->objectName()));
        for (const Setting *option : options)
            m_settings->setSetting(*option, option->getDefaultValue());
    }

    void everyControlHasAName()
    {
        Orvalo window(*m_db, *m_settings, *m_asset);
        ExtensionManager extensions(*m_db);
        window.setExtensionWindows(&extensions);
        window.show();
        extensions.editor().show();
        window.form()->actionManage_Extensions->trigger();
        DialpadDialog dialpad;
        dialpad.show();
        CallcontrolDialog callOut(QStringLiteral("Call out as"), QStringLiteral("2001"));
        callOut.show();
        ConfigWindows config(*m_settings, window.engine(), *m_asset, &window);
        window.setSettingsWindows(&config);
        config.openGeneralSettings();
        config.openAudioSettings();
        config.openCallLog(false);
        for (QWidget *shown :
            std::initializer_list<QWidget *> {&window, &extensions.editor(), extensions.list(), &dialpad,
                &callOut, config.generalSettings(), config.audioSettings(), config.callLog()}) {
            const QStringList unnamed = unnamedControls(shown);
            QVERIFY2(unnamed.isEmpty(),
                qPrintable(shown->objectName() + QStringLiteral(": ") + unnamed.join(u',')));
        }
        // A text field reads as the label tied to it.
        auto *user = extensions.editor().fieldWidget(QStringLiteral("user"));
        QCOMPARE(
            QAccessible::queryAccessibleInterface(user)->text(QAccessible::Name), QStringLiteral("SIP User"));
    }

    void engineThatCannotStartStopsAtTheFirstError()
    {
        addExtensions({1, 0});
        // The engine's data folder cannot be created under a plain file: the engine does not start.
        const QString blocker = m_dir.filePath(QStringLiteral("not-a-folder"));
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        qputenv("ORVALO_DATA_DIR", QString(blocker + QStringLiteral("/sipdata")).toUtf8());
        const qsizetype asked = m_prompt->asked().size();
        {
            Orvalo window(*m_db, *m_settings, *m_asset);
            QVERIFY(!window.startedOk());
        }
        qunsetenv("ORVALO_DATA_DIR");
        QCOMPARE(m_prompt->asked().size(), asked + 1);
        QVERIFY(m_prompt->asked().last().text.startsWith(QStringLiteral("Application failed to start.\n")));
        QVERIFY(QSqlQuery().exec(QStringLiteral("DELETE FROM accounts")));
    }

    void defaultExtensionIsSelected_data()
    {
        QTest::addColumn<QList<int>>("defaults"); // defaultaccount of each row, in order
        QTest::addColumn<int>("selected");
        QTest::newRow("two defaults: the later") << QList<int> {1, 0, 1} << 2;
        QTest::newRow("no default, one row") << QList<int> {0} << 0;
        QTest::newRow("no default, two rows: none") << QList<int> {0, 0} << -1;
    }

    void defaultExtensionIsSelected()
    {
        QFETCH(QList<int>, defaults);
        QFETCH(int, selected);
        addExtensions(defaults);
        Orvalo window(*m_db, *m_settings, *m_asset);
        QCOMPARE(int(window.getAccounts().size()), int(defaults.size()));
        QCOMPARE(window.form()->extensionsTable->count(), int(defaults.size()));
        QCOMPARE(window.form()->extensionsTable->currentRow(), selected);
        QVERIFY(QSqlQuery().exec(QStringLiteral("DELETE FROM accounts")));
    }

    // Removing an extension above the selected one leaves the controls on the selected one.
    void removingAnExtensionKeepsTheSelection()
    {
        addExtensions({0, 0, 1});
        Orvalo window(*m_db, *m_settings, *m_asset);
        window.selectAccount(1);
        const int second = window.getAccounts()[1]->getKesId();
        window.removeExtension(window.getAccounts()[0]->getKesId());
        QCOMPARE(window.getAccounts()[std::size_t(window.currentAccountIndex())]->getKesId(), second);
        QCOMPARE(window.form()->extensionsTable->currentRow(), window.currentAccountIndex());
        QVERIFY(QSqlQuery().exec(QStringLiteral("DELETE FROM accounts")));
    }

    void assetJoinsWithOneSlash()
    {
        QCOMPARE(Asset(QStringLiteral("/x")).get_file(QStringLiteral("Audio/input.8.wav")),
            QStringLiteral("/x/Audio/input.8.wav"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
