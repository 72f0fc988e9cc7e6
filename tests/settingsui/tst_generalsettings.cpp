#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTest>

#include "../panel/testdatabase.h"
#include "core/prompt.h"
#include "settingsui/generalsettingsdialog.h"

namespace {
QString stored(const QString &name)
{
    QSqlQuery q;
    q.prepare(QStringLiteral("SELECT value FROM orvalooptions WHERE name = :n"));
    q.bindValue(QStringLiteral(":n"), name);
    return q.exec() && q.next() ? q.value(0).toString() : QStringLiteral("<none>");
}

// Every stored option, for before/after comparisons.
QMap<QString, QString> allStored()
{
    QMap<QString, QString> out;
    QSqlQuery q(QStringLiteral("SELECT name, value FROM orvalooptions"));
    while (q.next())
        out.insert(q.value(0).toString(), q.value(1).toString());
    return out;
}

void press(GeneralSettingsDialog &dialog, QDialogButtonBox::StandardButton which)
{
    QTest::mouseClick(dialog.buttonBox()->button(which), Qt::LeftButton);
}

// Changes a bound widget to a value it did not load; returns the text Save must store.
QString change(const OptionBindings::Binding &b)
{
    if (!b.radios.isEmpty()) {
        for (const auto &[value, button] : b.radios) {
            if (!button->isChecked()) {
                button->setChecked(true);
                return value;
            }
        }
    }
    if (auto *edit = qobject_cast<QLineEdit *>(b.widget)) {
        edit->setText(QStringLiteral("ü ") + b.option->getName());
        return edit->text();
    }
    if (auto *combo = qobject_cast<QComboBox *>(b.widget)) {
        combo->setCurrentIndex(combo->count() - 1 - combo->currentIndex());
        return combo->currentText();
    }
    if (auto *check = qobject_cast<QCheckBox *>(b.widget)) {
        check->setChecked(!check->isChecked());
        return check->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    }
    auto *spin = qobject_cast<QSpinBox *>(b.widget);
    spin->setValue(spin->value() == spin->minimum() ? spin->maximum() : spin->minimum());
    return QString::number(spin->value());
}
} // namespace

class TestGeneralSettings : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> m_db;
    ScriptedPrompt m_prompt;

private slots:

    void init()
    {
        Prompt::install(&m_prompt);
        m_db = std::make_unique<TestDatabase>();
        QVERIFY(m_db->open());
    }

    void cleanup()
    {
        m_db.reset();
        Prompt::install(nullptr);
    }

    // Every option the window edits is bound exactly once; a bound widget's value survives Save
    // and a new window, and Save writes each key with the widget's text.
    void everyBindingRoundTrips()
    {
        const QStringList edited {QStringLiteral("ForegroundOnIncomingCall"),
            QStringLiteral("AnswerFirstIfMany"), QStringLiteral("CorporateDirectoryInternal"),
            QStringLiteral("CorporateDirectoryExternal"), QStringLiteral("SeparateCorporateDirectory"),
            QStringLiteral("IncludeUserPhonesInDirectory"), QStringLiteral("SortCorporateDirectoryBy"),
            QStringLiteral("EnableRTCP"), QStringLiteral("EnableSIPLog"),
            QStringLiteral("EnableConnectionTest"), QStringLiteral("EnableVideo"),
            QStringLiteral("EnableChat"), QStringLiteral("EnableSpeedDialsTab"),
            QStringLiteral("EnableContactDetailsTab"), QStringLiteral("EnableCallProgressTab"),
            QStringLiteral("EnableFaxButton"), QStringLiteral("BriskoCloudApiUrl"), QStringLiteral("UserDir"),
            QStringLiteral("ContactLookup"), QStringLiteral("AuthenticationToken"),
            QStringLiteral("UnattendedTransferOnDrop"), QStringLiteral("AttendedTransferOnDrop"),
            QStringLiteral("OutboundDialPrefix"), QStringLiteral("IncomingCallDirectoryLookup"),
            QStringLiteral("LookupCallOnAnswer"), QStringLiteral("IssuesApiUrl"),
            QStringLiteral("IssuesApiToken"), QStringLiteral("AutoRegisterOnStartupOrLogin"),
            QStringLiteral("FooterDisplay"), QStringLiteral("FooterShowCompany"),
            QStringLiteral("FooterShowUser"), QStringLiteral("MaxCallCount"),
            QStringLiteral("CallLabelTopLeftText"), QStringLiteral("EnableRecentCallsWindow"),
            QStringLiteral("RecentCallsLimit")};
        QMap<QString, QString> expected;
        {
            GeneralSettingsDialog dialog(m_db->settings);
            QStringList bound;
            for (const auto &b : dialog.bindings().bindings()) {
                bound << b.option->getName();
                expected.insert(b.option->getName(), change(b));
            }
            bound.sort();
            QStringList want = edited;
            want.sort();
            QCOMPARE(bound, want);
            press(dialog, QDialogButtonBox::Save);
        }
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QCOMPARE(stored(it.key()), it.value());
        GeneralSettingsDialog reopened(m_db->settings);
        for (const auto &b : reopened.bindings().bindings()) {
            QString text;
            QVERIFY(OptionBindings::save_setting(b, text));
            QVERIFY2(text == expected.value(b.option->getName()), qPrintable(b.option->getName()));
        }
    }

    // What each family makes of stored texts, good and bad.
    void loadsStoredText_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value"); // "<unset>": no row
        QTest::addColumn<QString>("saved"); // what Save then stores
        const QString unset = QStringLiteral("<unset>");
        QTest::newRow("check default Yes") << "FooterDisplay" << unset << "1";
        QTest::newRow("check default No") << "EnableChat" << unset << "0";
        QTest::newRow("check stored 1") << "EnableChat"
                                        << "1"
                                        << "1";
        QTest::newRow("check wrong type") << "FooterDisplay"
                                          << "yes"
                                          << "0";
        QTest::newRow("spin number") << "MaxCallCount"
                                     << "12"
                                     << "12";
        QTest::newRow("spin not a number") << "MaxCallCount"
                                           << "many"
                                           << "6";
        QTest::newRow("spin out of range") << "MaxCallCount"
                                           << "99"
                                           << "6";
        QTest::newRow("spin negative") << "RecentCallsLimit"
                                       << "-3"
                                       << "10";
        QTest::newRow("spin empty") << "RecentCallsLimit"
                                    << ""
                                    << "10";
        QTest::newRow("combo match") << "ContactLookup"
                                     << "LDAP"
                                     << "LDAP";
        QTest::newRow("combo other case") << "ContactLookup"
                                          << "ldap"
                                          << "Disable";
        QTest::newRow("radio unset empty string") << "CallLabelTopLeftText" << unset << "";
        QTest::newRow("radio stored") << "CallLabelTopLeftText"
                                      << "contactname"
                                      << "contactname";
        QTest::newRow("radio unset as built") << "SortCorporateDirectoryBy" << unset << "username";
        QTest::newRow("radio unknown") << "SortCorporateDirectoryBy"
                                       << "size"
                                       << "username";
        QTest::newRow("line text") << "OutboundDialPrefix"
                                   << "9=0"
                                   << "9=0";
    }

    void loadsStoredText()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, saved);
        if (value != QLatin1String("<unset>"))
            m_db->settings.setSetting(key, value);
        GeneralSettingsDialog dialog(m_db->settings);
        press(dialog, QDialogButtonBox::Save);
        QCOMPARE(stored(key), saved);
    }

    void discardStoresNothing()
    {
        const QMap<QString, QString> before = allStored();
        auto *dialog = new GeneralSettingsDialog(m_db->settings);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        QSignalSpy updated(dialog, &GeneralSettingsDialog::settings_updated);
        dialog->show();
        for (const auto &b : dialog->bindings().bindings())
            change(b);
        press(*dialog, QDialogButtonBox::Discard);
        QCOMPARE(updated.count(), 1);
        QCOMPARE(allStored(), before);

        GeneralSettingsDialog closed(m_db->settings);
        QSignalSpy none(&closed, &GeneralSettingsDialog::settings_updated);
        closed.show();
        closed.close();
        QCOMPARE(none.count(), 0);
    }

    // A database that refuses writes keeps every option as it was: no row half-saved, the
    // dialog stays open with a message.
    void refusedSaveChangesNothing()
    {
        m_db->settings.setSetting(Settings::EnableChat, Setting::Yes);
        const QMap<QString, QString> before = allStored();
        GeneralSettingsDialog dialog(m_db->settings);
        dialog.show();
        QSignalSpy updated(&dialog, &GeneralSettingsDialog::settings_updated);
        for (const auto &b : dialog.bindings().bindings())
            change(b);
        QSqlQuery q;
        QVERIFY(q.exec(QStringLiteral("PRAGMA query_only = ON")));
        press(dialog, QDialogButtonBox::Save);
        QVERIFY(q.exec(QStringLiteral("PRAGMA query_only = OFF")));
        QCOMPARE(allStored(), before);
        QCOMPARE(updated.count(), 0);
        QVERIFY(dialog.isVisible());
        QCOMPARE(m_prompt.asked().size(), 1);
        QCOMPARE(m_prompt.asked().first().title, QStringLiteral("Settings not saved"));
    }

    void layoutOfTheForm()
    {
        m_db->settings.setSetting(Settings::EnableRecentCallsWindow, Setting::No);
        GeneralSettingsDialog dialog(m_db->settings);
        QStringList titles;
        for (int i = 0; i < dialog.tabs()->count(); ++i)
            titles << dialog.tabs()->tabText(i);
        QCOMPARE(titles, QStringList({"Brisko Cloud", "Call Features", "Status Bar", "Menus", "Misc"}));
        QVERIFY(!dialog.findChild<QSpinBox *>(QStringLiteral("field_recentcallslimit"))->isEnabled());

        // Turning the footer off disables its parts and keeps their check state.
        auto *footer = dialog.findChild<QCheckBox *>(QStringLiteral("checkbox_footerdisplay"));
        auto *company = dialog.findChild<QCheckBox *>(QStringLiteral("checkbox_footershowcompany"));
        QVERIFY(footer->isChecked() && company->isChecked() && company->isEnabled());
        footer->setChecked(false);
        QVERIFY(company->isChecked() && !company->isEnabled());
        QVERIFY(!dialog.findChild<QCheckBox *>(QStringLiteral("checkbox_footershowuser"))->isEnabled());
    }
};

QTEST_MAIN(TestGeneralSettings)
#include "tst_generalsettings.moc"
