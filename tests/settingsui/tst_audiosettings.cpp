#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QTest>

#include "../panel/testdatabase.h"
#include "core/asset.h"
#include "core/log.h"
#include "core/prompt.h"
#include "engine/sipdialer.h"
#include "settingsui/audiosettingsdialog.h"
#include "support/testbed.h"

// The audio settings against a running engine whose only sound device is the file-backed card.
class TestAudioSettings : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<SipDialer> m_engine;
    std::unique_ptr<Asset> m_asset;
    ScriptedPrompt m_prompt;
    int m_card = -1;

private slots:

    void initTestCase()
    {
        if (!qEnvironmentVariableIsSet("ORVALO_TEST_VERBOSE"))
            QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
        Prompt::install(&m_prompt);
        m_db = std::make_unique<TestDatabase>();
        QVERIFY(m_db->open());
        Log::set_output_file(m_db->dir.filePath(QStringLiteral("log")));
        // The microphone test writes mic-test.wav into the working directory.
        QDir::setCurrent(m_db->dir.path());
        m_engine = std::make_unique<SipDialer>(m_db->settings);
        m_engine->setBindAddress(QStringLiteral("127.0.0.1"));
        m_engine->setSipPort(testbed::freePort());
        m_engine->setFileSoundCard(QStringLiteral(ORVALO_SOURCE_DIR "/resources/audio/input.8.wav"),
            m_db->dir.filePath("heard.wav"));
        QVERIFY(m_engine->init());
        m_card = m_engine->fileSoundCardIndex();
        QVERIFY(m_card >= 0);
        m_asset = std::make_unique<Asset>(QStringLiteral(ORVALO_BIN_DIR));
    }

    void cleanupTestCase()
    {
        m_engine.reset();
        m_db.reset();
        Prompt::install(nullptr);
    }

    // The card is listed as microphone, speaker and ringer under its device number; choosing it
    // is stored at once. A stored device that no longer exists selects nothing and stores nothing.
    void listsTheCardAndStoresAChoice()
    {
        m_db->settings.setSetting(Settings::Microphone, QStringLiteral("57"));
        m_db->settings.setSetting(Settings::Speaker, QStringLiteral("loud"));
        AudioSettingsDialog dialog(m_db->settings, *m_engine, *m_asset);
        for (const char *name : {"MicrophoneComboBox", "SpeakerComboBox", "RingerComboBox"}) {
            auto *box = dialog.findChild<QComboBox *>(QLatin1String(name));
            QVERIFY2(box->findData(m_card) >= 0, name);
        }
        QCOMPARE(m_db->settings.getSetting(Settings::Microphone), QStringLiteral("57"));
        for (const char *name : {"MicrophoneComboBox", "RingerComboBox"}) {
            auto *box = dialog.findChild<QComboBox *>(QLatin1String(name));
            box->addItem(QStringLiteral("placeholder"), -5); // so that the card can be chosen anew
            box->setCurrentIndex(box->count() - 1);
            box->setCurrentIndex(box->findData(m_card));
        }
        QCOMPARE(m_db->settings.getSetting(Settings::Microphone), QString::number(m_card));
        QCOMPARE(m_db->settings.getSetting(Settings::Ringer), QString::number(m_card));
    }

    // OK with the external device on and no extension: warning, dialog stays, UseExternal is
    // stored already; with an extension the options are stored and the dialog closes.
    void externalDeviceOptions()
    {
        AudioSettingsDialog dialog(m_db->settings, *m_engine, *m_asset);
        dialog.show();
        auto *use = dialog.findChild<QCheckBox *>(QStringLiteral("useExternalCheckBox"));
        use->click();
        QVERIFY(!dialog.findChild<QWidget *>(QStringLiteral("internalGroupBox"))->isEnabled());
        const int asked = m_prompt.asked().size();
        dialog.accept();
        QCOMPARE(m_prompt.asked().size(), asked + 1);
        QCOMPARE(m_prompt.asked().last().text, QStringLiteral("Operator Extension can not be empty."));
        QVERIFY(dialog.isVisible());
        QVERIFY(m_db->settings.checkSetting(Settings::UseExternal, Setting::Yes));
        dialog.findChild<QLineEdit *>(QStringLiteral("operatorExtensionLineEdit"))
            ->setText(QStringLiteral("1900"));
        dialog.findChild<QCheckBox *>(QStringLiteral("hideExternalInboundCallsCheckBox"))->setChecked(true);
        dialog.accept();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(m_db->settings.getSetting(Settings::OperatorExtension), QStringLiteral("1900"));
        QVERIFY(m_db->settings.checkSetting(Settings::UseExternalOn, Setting::Ring));
        QVERIFY(m_db->settings.checkSetting(Settings::HideExternalInboundCalls, Setting::Yes));
    }

    // The tests run on the card: the button is off while its test runs; the microphone test
    // leaves a recording behind. A missing test sound is reported and nothing starts.
    void deviceTests()
    {
        m_db->settings.setSetting(Settings::UseExternal, Setting::No);
        AudioSettingsDialog dialog(m_db->settings, *m_engine, *m_asset);
        dialog.setTiming({50, 100, 100, 400, 410, 600});
        auto *speaker = dialog.findChild<QPushButton *>(QStringLiteral("TestSpeakerButton"));
        auto *microphone = dialog.findChild<QPushButton *>(QStringLiteral("TestMicrophoneButton"));
        auto *ringer = dialog.findChild<QPushButton *>(QStringLiteral("TestRingerButton"));
        QTest::mouseClick(ringer, Qt::LeftButton);
        QVERIFY(!ringer->isEnabled());
        QVERIFY(m_engine->isTonePlaying());
        QTRY_VERIFY_WITH_TIMEOUT(ringer->isEnabled(), 5000);
        QVERIFY(!m_engine->isTonePlaying());
        speaker->click();
        QVERIFY(!speaker->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(speaker->isEnabled(), 5000);
        microphone->click();
        QVERIFY(!microphone->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(microphone->isEnabled(), 5000);
        QVERIFY(QFileInfo(QStringLiteral("mic-test.wav")).size() > 44);

        Asset nowhere(m_db->dir.filePath(QStringLiteral("empty")));
        AudioSettingsDialog without(m_db->settings, *m_engine, nowhere);
        const int asked = m_prompt.asked().size();
        without.findChild<QPushButton *>(QStringLiteral("TestSpeakerButton"))->click();
        QCOMPARE(m_prompt.asked().size(), asked + 1);
        QVERIFY(without.findChild<QPushButton *>(QStringLiteral("TestSpeakerButton"))->isEnabled());
    }
};

QTEST_MAIN(TestAudioSettings)
#include "tst_audiosettings.moc"
