#pragma once

#include <QObject>
#include <QTimer>

class SipDialer;

// Hands the heap's free pages back to the system once the calls have quietened down. A call's
// set-up and tear-down allocate and free a great deal across the stack's threads; the allocator
// keeps those pages, so a panel that takes thousands of calls would otherwise grow with its
// fragmentation. The trim runs a few seconds after the last call ended and, under steady load with
// no quiet moment, after every few dozen calls (a trim takes about a millisecond); and once after
// the start-up has settled.
class HeapTrimmer final : public QObject
{
    Q_OBJECT

public:
    static constexpr int QuietMs = 3000;
    static constexpr int CallsPerTrim = 32;
    static constexpr int StartSettleMs = 10000;

    explicit HeapTrimmer(SipDialer &engine, QObject *parent = nullptr);

private:
    void callEnded();
    void trim();

    QTimer m_quiet;
    int m_endedSinceTrim = 0;
};
