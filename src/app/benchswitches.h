#pragma once

#include <memory>

class DiagnosticWindows;
class Orvalo;
class UiGapProbe;

// Switches for the benchmark, read from the environment; all are off unless set.
//
// ORVALO_SIP_LOG_CAPTURE=1 opens the SIP log window capturing at the first incoming call, as the
// benchmark measures it (its idle figure is taken before).
//
// ORVALO_UI_GAP_LOG=path: from the first incoming call on, a 10 ms timer on the UI thread notes the
// longest time between two of its ticks, written to path as "ui_gap_max_ms value=<ms> ticks=<n>"
// whenever the longest gap grows, once a second and when the switches are destroyed (a process that
// is killed keeps what was written). Idle time before is not disturbed.
//
// ORVALO_PRESENCE_LOG=path notes when each presence change reached its directory tile, as
// "presence us=<microseconds since the epoch> extension=<extension> colour=<colour>" lines.
class BenchSwitches final
{
public:
    BenchSwitches(Orvalo &window, DiagnosticWindows &diagnostics);
    ~BenchSwitches();

    BenchSwitches(const BenchSwitches &) = delete;
    BenchSwitches &operator=(const BenchSwitches &) = delete;

private:
    std::unique_ptr<UiGapProbe> m_gapProbe;
};
