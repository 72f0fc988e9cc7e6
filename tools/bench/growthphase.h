#pragma once

// Memory under load: many calls ring one after the other and are cancelled, and the agent's
// resident memory after the first hundred is compared with the memory at the end.

#include <QString>

namespace bench {

struct Sipp;

struct GrowthOptions
{
    QString name;
    QString scenario; // ring_cancel.xml
    QString user; // the called user
    int calls = 1200;
    int rate = 4; // calls started per second
    int ringMs = 500; // each call rings this long before the caller cancels
    int baseline = 100; // calls before the first memory sample
    QString cdrDatabase; // the agent's database, read for the call records (none: not read)
};

// Prints "<name> growth calls=.. rang=.. rss_base_kb=.. rss_end_kb=.. growth_kib_per_1000=..
// cdr=.. cdr_complete=.. base: anon=.. file=.. end: anon=.. file=..": the growth per 1,000 calls
// after the baseline, how many calls rang, how many call records the calls left (complete ones have
// an end, a disposition and a SIP code), and the anonymous and file pages of both samples.
void growthPhase(const Sipp &sipp, const GrowthOptions &options, qint64 pid);

} // namespace bench
