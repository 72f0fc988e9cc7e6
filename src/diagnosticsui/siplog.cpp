#include "diagnosticsui/siplog.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "diagnosticsui/scrollbackview.h"

SipLog::SipLog(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("SipLog"));
    setWindowTitle(QStringLiteral("Sip Logger"));
    resize(493, 361);

    m_startStop = new QPushButton(QStringLiteral("Start"), this);
    m_startStop->setObjectName(QStringLiteral("button_startstop"));
    m_clear = new QPushButton(QStringLiteral("Clear"), this);
    m_clear->setObjectName(QStringLiteral("button_clear"));
    m_clear->setEnabled(false);
    auto *label = new QLabel(QStringLiteral("Scrollback Lines"), this);
    m_scrollback = new QSpinBox(this);
    m_scrollback->setObjectName(QStringLiteral("field_scrollbacklines"));
    m_scrollback->setRange(0, SipLogBuffer::MaxLimit);
    m_scrollback->setValue(SipLogBuffer::DefaultLimit);
    label->setBuddy(m_scrollback);
    m_log = new ScrollbackView(this);
    m_log->setObjectName(QStringLiteral("log"));
    m_log->setFlushInterval(FlushIntervalMs);
    m_log->setLimit(m_scrollback->value());
    m_log->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    auto *grid = new QGridLayout(this);
    grid->addWidget(m_startStop, 0, 0);
    grid->addWidget(m_clear, 0, 1);
    grid->addWidget(label, 0, 2, Qt::AlignRight);
    grid->addWidget(m_scrollback, 0, 3);
    grid->addWidget(m_log, 1, 0, 1, 4);
    grid->setColumnStretch(2, 1);

    connect(m_startStop, &QPushButton::clicked, this, &SipLog::on_button_startstop_clicked);
    connect(m_clear, &QPushButton::clicked, this, &SipLog::on_button_clear_clicked);
    connect(m_log, &QPlainTextEdit::textChanged, this, &SipLog::on_log_textChanged);
    connect(m_scrollback, &QSpinBox::valueChanged, m_log, &ScrollbackView::setLimit);
}

SipLog::~SipLog() = default;

bool SipLog::capturing() const
{
    return m_log->buffer().capturing();
}

void SipLog::log(const QString &line)
{
    m_log->appendEntry(line);
}

void SipLog::on_button_startstop_clicked()
{
    const bool on = !capturing();
    m_log->buffer().setCapturing(on);
    m_startStop->setText(on ? QStringLiteral("Stop") : QStringLiteral("Start"));
    if (!on)
        m_log->flush(); // what came until now is shown
    emit capturingChanged(on);
}

void SipLog::on_button_clear_clicked()
{
    m_log->clearLines();
    m_clear->setEnabled(false);
}

void SipLog::on_log_textChanged()
{
    m_clear->setEnabled(!m_log->document()->isEmpty());
}
