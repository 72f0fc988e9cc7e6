#include "app/benchswitches.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <utility>

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include "diagnosticsui/diagnosticwindows.h"
#include "diagnosticsui/siplog.h"
#include "engine/sipdialer.h"
#include "panel/companydevice.h"
#include "panel/directory.h"
#include "panel/orvalo.h"

class UiGapProbe final
{
public:
    static constexpr int TickMs = 10;
    static constexpr int WriteEveryTicks = 100;

    explicit UiGapProbe(QString path)
        : m_path(std::move(path))
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(TickMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
    }

    ~UiGapProbe()
    {
        if (m_timer.isActive())
            write();
    }

    Q_DISABLE_COPY_MOVE(UiGapProbe)

    void start()
    {
        if (m_timer.isActive())
            return;
        m_sinceTick.start();
        m_timer.start();
        write();
    }

private:
    void tick()
    {
        const qint64 gap = m_sinceTick.restart();
        ++m_ticks;
        if (gap > m_longestMs || m_ticks % WriteEveryTicks == 0) {
            m_longestMs = std::max(m_longestMs, gap);
            write();
            m_sinceTick.restart(); // the write is the probe's own cost, not the panel's
        }
    }

    void write() const
    {
        QFile out(m_path);
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            out.write("ui_gap_max_ms value=" + QByteArray::number(m_longestMs)
                + " ticks=" + QByteArray::number(m_ticks) + "\n");
    }

    QString m_path;
    QTimer m_timer;
    QElapsedTimer m_sinceTick;
    qint64 m_longestMs = 0;
    qint64 m_ticks = 0;
};

BenchSwitches::BenchSwitches(Orvalo &window, DiagnosticWindows &diagnostics)
{
    SipDialer &engine = window.engine();
    if (!qEnvironmentVariableIsEmpty("ORVALO_SIP_LOG_CAPTURE")) {
        QObject::connect(
            &engine, &SipDialer::onIncomingCall, &window,
            [&diagnostics, &engine] {
                diagnostics.openSipLog(engine);
                diagnostics.sipLog()->on_button_startstop_clicked();
            },
            Qt::SingleShotConnection);
    }
    if (!qEnvironmentVariableIsEmpty("ORVALO_UI_GAP_LOG")) {
        m_gapProbe = std::make_unique<UiGapProbe>(qEnvironmentVariable("ORVALO_UI_GAP_LOG"));
        QObject::connect(
            &engine, &SipDialer::onIncomingCall, &window, [probe = m_gapProbe.get()] { probe->start(); });
    }
    if (const QString path = qEnvironmentVariable("ORVALO_PRESENCE_LOG"); !path.isEmpty()) {
        auto file = std::make_shared<QFile>(path);
        if (file->open(QIODevice::WriteOnly | QIODevice::Append)) {
            window.directory().setPresenceApplied([file](const CompanyDevice &tile) {
                const auto now = std::chrono::system_clock::now().time_since_epoch();
                file->write(QStringLiteral("presence us=%1 extension=%2 colour=%3\n")
                                .arg(std::chrono::duration_cast<std::chrono::microseconds>(now).count())
                                .arg(tile.getExtension(), tile.colour())
                                .toUtf8());
                file->flush();
            });
        }
    }
}

BenchSwitches::~BenchSwitches() = default;
