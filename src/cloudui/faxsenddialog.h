#pragma once

#include <functional>

#include <QWidget>

class FaxJob;
class Kesapi;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class Settings;

// The fax window: one document to one destination through the cloud service, then the service's
// status text every ten seconds until the window closes. Closing it (Cancel, Close or the frame)
// ends the polling; a reply still on its way is dropped.
class FaxSendDialog final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FaxSendDialog)

public:
    FaxSendDialog(const QString &extension, const QString &destination, Settings &settings, Kesapi &kesapi,
        QWidget *parent = nullptr);
    ~FaxSendDialog() override;

    // How the file is chosen (an open-file dialog unless a test sets another).
    void setFilePicker(std::function<QString()> picker) { m_pickFile = std::move(picker); }

    FaxJob &job() const { return *m_job; }

    const QString &filePath() const { return m_filePath; }

public slots:
    void on_buttonSelectfile_clicked();
    void on_buttonSendfax_clicked();
    void on_buttonCancel_clicked();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void showError(const QString &text);

    QString m_extension;
    Settings &m_settings;
    QString m_filePath;
    FaxJob *m_job = nullptr;
    std::function<QString()> m_pickFile;
    QLineEdit *m_fileField = nullptr;
    QRadioButton *m_standard = nullptr;
    QRadioButton *m_fine = nullptr;
    QRadioButton *m_superfine = nullptr;
    QLineEdit *m_destination = nullptr;
    QLabel *m_status = nullptr;
    QPushButton *m_send = nullptr;
    QPushButton *m_cancel = nullptr;
};
