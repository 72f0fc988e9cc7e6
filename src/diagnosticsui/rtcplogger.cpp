#include "diagnosticsui/rtcplogger.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "core/log.h"
#include "diagnosticsui/scrollbackview.h"

RTCPLogger::RTCPLogger(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("RTCPLogger"));
    setWindowTitle(QStringLiteral("RTCP Call Quality Logger"));
    resize(784, 300);

    m_startStop = new QPushButton(QStringLiteral("Start"), this);
    m_startStop->setObjectName(QStringLiteral("ButtonStartStop"));
    auto *label = new QLabel(QStringLiteral("Scrollback Lines"), this);
    m_scrollback = new QSpinBox(this);
    m_scrollback->setObjectName(QStringLiteral("SpinBoxScrollback"));
    m_scrollback->setRange(0, MaxScrollback);
    m_scrollback->setValue(SipLogBuffer::DefaultLimit);
    label->setBuddy(m_scrollback);
    m_clear = new QPushButton(QStringLiteral("Clear"), this);
    m_clear->setObjectName(QStringLiteral("ButtonClear"));
    m_log = new ScrollbackView(this);
    m_log->setObjectName(QStringLiteral("TextEditLog"));
    m_log->buffer().setCapturing(true);
    m_log->setLimit(m_scrollback->value());

    auto *grid = new QGridLayout(this);
    grid->addWidget(m_startStop, 0, 0);
    grid->addWidget(label, 0, 1, Qt::AlignRight);
    grid->addWidget(m_scrollback, 0, 2);
    grid->addWidget(m_clear, 0, 3);
    grid->addWidget(m_log, 1, 0, 1, 4);
    grid->setColumnStretch(1, 1);

    connect(m_startStop, &QPushButton::clicked, this, &RTCPLogger::on_ButtonStartStop_clicked);
    connect(m_clear, &QPushButton::clicked, this, &RTCPLogger::on_ButtonClear_clicked);
    connect(m_scrollback, &QSpinBox::valueChanged, m_log, &ScrollbackView::setLimit);
}

RTCPLogger::~RTCPLogger() = default;

void RTCPLogger::updateLog(const QString &text)
{
    m_log->appendEntry(text);
    LOG(QStringLiteral("line: ") + QString::number(m_log->buffer().lineCount()) + QStringLiteral("  max: ")
        + QString::number(m_scrollback->value()));
}

void RTCPLogger::on_ButtonStartStop_clicked()
{
    m_running = !m_running;
    m_startStop->setText(m_running ? QStringLiteral("Stop") : QStringLiteral("Start"));
    if (m_running)
        emit startLogging();
    else
        emit stopLogging();
}

void RTCPLogger::on_ButtonClear_clicked()
{
    m_log->clearLines();
}
