#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QSpinBox;
class ScrollbackView;

// The SIP log window: while capturing, every line of the SIP stack's log as it comes, the last
// "Scrollback Lines" of them kept. Capture is off until Start is pressed; lines that came before
// are never shown.
class SipLog final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SipLog)

public:
    // Floods are drawn at most this often.
    static constexpr int FlushIntervalMs = 100;

    explicit SipLog(QWidget *parent = nullptr);
    ~SipLog() override;

    bool capturing() const;

    ScrollbackView *view() const { return m_log; }

signals:
    // Start or Stop was pressed: whoever feeds the window need only hand it lines while capturing.
    void capturingChanged(bool on);

public slots:
    void log(const QString &line);
    void on_button_startstop_clicked();
    void on_button_clear_clicked();
    void on_log_textChanged();

private:
    QPushButton *m_startStop = nullptr;
    QPushButton *m_clear = nullptr;
    QSpinBox *m_scrollback = nullptr;
    ScrollbackView *m_log = nullptr;
};
