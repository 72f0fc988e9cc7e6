#include "settingsui/audiosettingsdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "core/asset.h"
#include "core/log.h"
#include "core/prompt.h"
#include "core/settings.h"
#include "engine/sipdialer.h"

namespace {
const QString TestSound = QStringLiteral("Audio/input.8.wav");

// Runs `step` after `ms` unless the dialog is gone by then.
void after(QObject *owner, int ms, const std::function<void()> &step)
{
    QTimer::singleShot(ms, owner, step);
}

// The combo box item whose data is `device`, if any.
void selectDevice(QComboBox *box, int device)
{
    const int index = box->findData(device);
    if (index >= 0)
        box->setCurrentIndex(index);
}
} // namespace

AudioSettingsDialog::AudioSettingsDialog(Settings &settings, SipDialer &engine, Asset &asset, QWidget *parent)
    : QDialog(parent)
    , m_settings(settings)
    , m_engine(engine)
    , m_asset(asset)
{
    buildForm();
    const int microphone = storedDevice(m_settings.getSetting(Settings::Microphone));
    const int speaker = storedDevice(m_settings.getSetting(Settings::Speaker));
    const int ringer = storedDevice(m_settings.getSetting(Settings::Ringer));

    QList<SipDialer::SoundDevice> devices;
    if (m_engine.enumerateSoundDevices(devices)) {
        for (int i = 0; i < devices.size() && i < 20; ++i) {
            const SipDialer::SoundDevice &device = devices.at(i);
            LOG(QString::number(device.capture ? 1 : 0) + QLatin1Char(':')
                + QString::number(device.playback ? 1 : 0) + QLatin1Char(' ') + QString::number(i)
                + QLatin1Char(' ') + device.name);
            if (device.name.contains(QLatin1String(":CARD")))
                continue;
            if (device.capture)
                m_microphone->addItem(device.name, i);
            if (device.playback) {
                m_speaker->addItem(device.name, i);
                m_ringer->addItem(device.name, i);
            }
        }
    }
    // A stored device that is no longer listed leaves the box on its first entry; nothing is
    // stored until the operator chooses.
    selectDevice(m_microphone, microphone);
    selectDevice(m_speaker, speaker);
    selectDevice(m_ringer, ringer);
    m_capture = microphone;
    m_playback = speaker;

    on_useExternalCheckBox_toggled(false);
    if (m_settings.checkSetting(Settings::UseExternal, Setting::Yes)) {
        m_useExternal->setChecked(true);
        on_useExternalCheckBox_toggled(true);
        m_operatorExtension->setText(m_settings.getSetting(Settings::OperatorExtension));
        if (m_settings.checkSetting(Settings::UseExternalOn, Setting::Ring))
            m_ring->setChecked(true);
        else if (m_settings.checkSetting(Settings::UseExternalOn, Setting::Answered))
            m_answered->setChecked(true);
    }
    if (m_settings.checkSetting(Settings::HideExternalInboundCalls, Setting::Yes))
        m_hideExternal->setChecked(true);

    connect(m_useExternal, &QCheckBox::toggled, this, &AudioSettingsDialog::on_useExternalCheckBox_toggled);
    connect(m_microphone, &QComboBox::currentIndexChanged, this,
        &AudioSettingsDialog::on_MicrophoneComboBox_currentIndexChanged);
    connect(m_speaker, &QComboBox::currentIndexChanged, this,
        &AudioSettingsDialog::on_SpeakerComboBox_currentIndexChanged);
    connect(m_ringer, &QComboBox::currentIndexChanged, this,
        &AudioSettingsDialog::on_RingerComboBox_currentIndexChanged);
    connect(m_testRinger, &QPushButton::clicked, this, &AudioSettingsDialog::on_TestRingerButton_clicked);
    connect(m_testSpeaker, &QPushButton::clicked, this, &AudioSettingsDialog::on_TestSpeakerButton_clicked);
    connect(
        m_testMicrophone, &QPushButton::clicked, this, &AudioSettingsDialog::on_TestMicrophoneButton_clicked);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &AudioSettingsDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &AudioSettingsDialog::reject);
    m_loading = false;
}

AudioSettingsDialog::~AudioSettingsDialog()
{
    // A test still running stops with the window.
    m_engine.stop_audio_file();
    m_engine.stop_recording_microphone_audio();
}

int AudioSettingsDialog::storedDevice(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? value : 0;
}

void AudioSettingsDialog::buildForm()
{
    setObjectName(QStringLiteral("AudioSettingsDialog"));
    setWindowTitle(QStringLiteral("Audio Settings"));
    resize(429, 352);
    auto *layout = new QVBoxLayout(this);
    m_useExternal = new QCheckBox(QStringLiteral("Use External Sound Device"), this);
    m_useExternal->setObjectName(QStringLiteral("useExternalCheckBox"));
    layout->addWidget(m_useExternal);

    m_internal = new QGroupBox(QStringLiteral("Internal Sound Devices"), this);
    m_internal->setObjectName(QStringLiteral("internalGroupBox"));
    auto *grid = new QGridLayout(m_internal);
    const auto deviceRow = [this, grid](int row, const QString &label, const char *box, const char *button,
                               QComboBox *&combo, QPushButton *&test) {
        combo = new QComboBox(m_internal);
        combo->setObjectName(QLatin1String(box));
        auto *title = new QLabel(label, m_internal);
        title->setBuddy(combo);
        test = new QPushButton(QStringLiteral("Test"), m_internal);
        test->setObjectName(QLatin1String(button));
        test->setAccessibleName(QStringLiteral("Test ") + label);
        QFont font = test->font();
        font.setPixelSize(12);
        test->setFont(font);
        grid->addWidget(title, row, 0);
        grid->addWidget(combo, row, 1);
        grid->addWidget(test, row, 2);
    };
    deviceRow(0, QStringLiteral("Speaker"), "SpeakerComboBox", "TestSpeakerButton", m_speaker, m_testSpeaker);
    deviceRow(1, QStringLiteral("Microphone"), "MicrophoneComboBox", "TestMicrophoneButton", m_microphone,
        m_testMicrophone);
    deviceRow(2, QStringLiteral("Ringer"), "RingerComboBox", "TestRingerButton", m_ringer, m_testRinger);
    grid->setColumnStretch(1, 1);
    layout->addWidget(m_internal);

    m_external = new QGroupBox(QStringLiteral("External Sound Device"), this);
    m_external->setObjectName(QStringLiteral("externalGroupBox"));
    auto *form = new QFormLayout(m_external);
    m_operatorExtension = new QLineEdit(m_external);
    m_operatorExtension->setObjectName(QStringLiteral("operatorExtensionLineEdit"));
    auto *title = new QLabel(QStringLiteral("Operator Extension"), m_external);
    title->setBuddy(m_operatorExtension);
    form->addRow(title, m_operatorExtension);
    m_ring = new QRadioButton(QStringLiteral("Call Operator on incoming call ring"), m_external);
    m_ring->setObjectName(QStringLiteral("ringRadioButton"));
    m_ring->setChecked(true);
    m_answered = new QRadioButton(QStringLiteral("Call Operator when incoming call is answered"), m_external);
    m_answered->setObjectName(QStringLiteral("answeredRadioButton"));
    m_hideExternal = new QCheckBox(
        QStringLiteral("Hide External Sound Device calls in Outbound calls windows"), m_external);
    m_hideExternal->setObjectName(QStringLiteral("hideExternalInboundCallsCheckBox"));
    form->addRow(m_ring);
    form->addRow(m_answered);
    form->addRow(m_hideExternal);
    layout->addWidget(m_external);

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_buttons->setObjectName(QStringLiteral("buttonBox"));
    layout->addWidget(m_buttons);
}

void AudioSettingsDialog::on_useExternalCheckBox_toggled(bool checked)
{
    m_external->setEnabled(checked);
    m_internal->setEnabled(!checked);
}

void AudioSettingsDialog::update_audio_devices()
{
    m_engine.update_audio_devices(m_capture, m_playback);
}

void AudioSettingsDialog::on_MicrophoneComboBox_currentIndexChanged(int index)
{
    if (m_loading || index < 0)
        return;
    m_capture = m_microphone->itemData(index).toInt();
    update_audio_devices();
    m_settings.setSetting(Settings::Microphone, m_capture);
}

void AudioSettingsDialog::on_SpeakerComboBox_currentIndexChanged(int index)
{
    if (m_loading || index < 0)
        return;
    m_playback = m_speaker->itemData(index).toInt();
    update_audio_devices();
    m_settings.setSetting(Settings::Speaker, m_playback);
}

void AudioSettingsDialog::on_RingerComboBox_currentIndexChanged(int index)
{
    if (m_loading || index < 0)
        return;
    const int device = m_ringer->itemData(index).toInt();
    m_engine.set_ringer_device(device);
    m_settings.setSetting(Settings::Ringer, device);
}

QString AudioSettingsDialog::testSound()
{
    const QString path = m_asset.get_file(TestSound);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.read(4) != "RIFF") {
        LOG(QStringLiteral("Unable to use WAV file ") + path);
        Prompt::warning(QStringLiteral("Audio Settings"),
            QStringLiteral("The test sound cannot be played: ") + path
                + QStringLiteral(" is missing or not a WAV file."));
        return QString();
    }
    return path;
}

void AudioSettingsDialog::on_TestRingerButton_clicked()
{
    m_testRinger->setEnabled(false);
    m_engine.ring_start();
    after(this, m_timing.ring, [this] {
        m_engine.ring_stop();
        m_testRinger->setEnabled(true);
    });
}

void AudioSettingsDialog::on_TestSpeakerButton_clicked()
{
    const QString sound = testSound();
    if (sound.isEmpty())
        return;
    m_testSpeaker->setEnabled(false);
    m_engine.play_audio_file(sound);
    after(this, m_timing.speaker, [this] {
        m_engine.stop_audio_file();
        m_testSpeaker->setEnabled(true);
    });
}

void AudioSettingsDialog::on_TestMicrophoneButton_clicked()
{
    const QString sound = testSound();
    if (sound.isEmpty())
        return;
    m_testMicrophone->setEnabled(false);
    m_engine.play_audio_file(sound);
    after(this, m_timing.micPlay, [this] {
        m_engine.stop_audio_file();
        m_engine.record_microphone_audio();
    });
    after(this, m_timing.micRecord, [this] { m_engine.stop_recording_microphone_audio(); });
    after(this, m_timing.micPlayBack, [this] { m_engine.play_audio_file(QStringLiteral("mic-test.wav")); });
    after(this, m_timing.micEnd, [this] {
        m_engine.stop_audio_file();
        m_testMicrophone->setEnabled(true);
    });
}

void AudioSettingsDialog::accept()
{
    if (m_useExternal->isChecked()) {
        m_settings.setSetting(Settings::UseExternal, Setting::Yes);
        if (m_operatorExtension->text().isEmpty()) {
            Prompt::warning(QStringLiteral("Error"), QStringLiteral("Operator Extension can not be empty."));
            return;
        }
        m_settings.setSetting(Settings::OperatorExtension, m_operatorExtension->text());
        if (m_ring->isChecked())
            m_settings.setSetting(Settings::UseExternalOn, Setting::Ring);
        else if (m_answered->isChecked())
            m_settings.setSetting(Settings::UseExternalOn, Setting::Answered);
        m_settings.setSetting(
            Settings::HideExternalInboundCalls, m_hideExternal->isChecked() ? Setting::Yes : Setting::No);
    } else {
        m_settings.setSetting(Settings::UseExternal, Setting::No);
        m_settings.setSetting(Settings::HideExternalInboundCalls, Setting::No);
    }
    QDialog::accept();
}
