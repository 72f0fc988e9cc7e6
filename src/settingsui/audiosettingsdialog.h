#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class Asset;
class Settings;
class SipDialer;

// Sound devices for capture, playback and ringing (each change takes effect and is stored at
// once), a test for each, and the external sound device options (stored when accepted).
class AudioSettingsDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AudioSettingsDialog)

public:
    AudioSettingsDialog(Settings &settings, SipDialer &engine, Asset &asset, QWidget *parent = nullptr);
    ~AudioSettingsDialog() override;

    // The test steps' delays (ms, from the click); tests shorten them.
    struct Timing
    {
        int ring = 1000;
        int speaker = 3000;
        int micPlay = 1000;
        int micRecord = 9000;
        int micPlayBack = 9010;
        int micEnd = 17010;
    };

    void setTiming(const Timing &timing) { m_timing = timing; }

    void accept() override;

public slots:
    void on_useExternalCheckBox_toggled(bool checked);
    void on_MicrophoneComboBox_currentIndexChanged(int index);
    void on_SpeakerComboBox_currentIndexChanged(int index);
    void on_RingerComboBox_currentIndexChanged(int index);
    void on_TestRingerButton_clicked();
    void on_TestSpeakerButton_clicked();
    void on_TestMicrophoneButton_clicked();

private:
    void buildForm();
    void update_audio_devices();
    // The test sound, or an empty string (after a warning) when it cannot be read.
    QString testSound();
    static int storedDevice(const QString &text);

    Settings &m_settings;
    SipDialer &m_engine;
    Asset &m_asset;
    Timing m_timing;
    int m_capture = 0;
    int m_playback = 0;
    bool m_loading = true;
    QCheckBox *m_useExternal = nullptr;
    QGroupBox *m_internal = nullptr;
    QGroupBox *m_external = nullptr;
    QComboBox *m_speaker = nullptr;
    QComboBox *m_microphone = nullptr;
    QComboBox *m_ringer = nullptr;
    QPushButton *m_testSpeaker = nullptr;
    QPushButton *m_testMicrophone = nullptr;
    QPushButton *m_testRinger = nullptr;
    QLineEdit *m_operatorExtension = nullptr;
    QRadioButton *m_ring = nullptr;
    QRadioButton *m_answered = nullptr;
    QCheckBox *m_hideExternal = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
};
