#include "app/heaptrimmer.h"

#include <malloc.h>

#include "engine/sipdialer.h"

// tcmalloc's own release of its free pages, when the panel runs on it (see src/app/CMakeLists.txt):
// malloc_trim only reaches the C library's heap.
extern "C" void MallocExtension_ReleaseFreeMemory() __attribute__((weak));

HeapTrimmer::HeapTrimmer(SipDialer &engine, QObject *parent)
    : QObject(parent)
{
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(QuietMs);
    connect(&m_quiet, &QTimer::timeout, this, &HeapTrimmer::trim);
    // Every call that ends (re)starts the quiet period; a new call during it postpones the trim.
    connect(&engine, &SipDialer::onCallTerminated, this, &HeapTrimmer::callEnded);
    connect(&engine, &SipDialer::onIncomingCall, &m_quiet, [this] {
        if (m_quiet.isActive())
            m_quiet.start();
    });
    // The start-up (registrations, a directory's subscriptions and their answers) frees a great
    // deal too: trim once it has settled.
    m_quiet.start(StartSettleMs);
}

void HeapTrimmer::callEnded()
{
    if (++m_endedSinceTrim >= CallsPerTrim)
        trim();
    m_quiet.start(QuietMs);
}

void HeapTrimmer::trim()
{
    m_quiet.stop();
    m_endedSinceTrim = 0;
    malloc_trim(0);
    if (MallocExtension_ReleaseFreeMemory)
        MallocExtension_ReleaseFreeMemory();
}
