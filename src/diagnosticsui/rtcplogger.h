#pragma once

#include <QWidget>

class QPushButton;
class QSpinBox;
class ScrollbackView;

// The call quality logger's window: shows the sampler's lines (one per answered call every five
// seconds) and asks for sampling to start and stop. Closing it leaves the sampling as it is.
class RTCPLogger final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RTCPLogger)

public:
    static constexpr int MaxScrollback = 500;

    explicit RTCPLogger(QWidget *parent = nullptr);
    ~RTCPLogger() override;

    bool isRunning() const { return m_running; }

    ScrollbackView *view() const { return m_log; }

signals:
    void startLogging();
    void stopLogging();

public slots:
    void updateLog(const QString &text);
    void on_ButtonStartStop_clicked();
    void on_ButtonClear_clicked();

private:
    bool m_running = false;
    QPushButton *m_startStop = nullptr;
    QPushButton *m_clear = nullptr;
    QSpinBox *m_scrollback = nullptr;
    ScrollbackView *m_log = nullptr;
};
