#pragma once

// Engine-private: taps the sound cards of the media library's own drivers (ALSA, PulseAudio...),
// so that a recording can keep what the microphone captures apart from what the speaker plays.
//
// The drivers' card descriptions are shared by every card of a driver: their reader and writer
// constructors are replaced by ones that build the driver's filter as before and then route its
// processing through a function that hands each block of samples to the tap. A description that
// lies in read-only memory is left alone (and the tap sees nothing of that driver).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct _MSFactory;

namespace cardtap {

// Called on a media thread for each block a tapped reader produced (captured) or a tapped writer
// is about to play, mono 16-bit at `rate`.
using Sink
    = void (*)(const _MSFactory *factory, bool captured, const int16_t *samples, size_t count, int rate);

void setSink(Sink sink);

// Taps the drivers of every card the factory knows now (again after a reload: already tapped
// drivers are skipped). Drivers named in `skip` (a driver type) stay as they are; those tapped by
// this call are added to `tapped`, those left alone (read-only) to `refused`. Returns the number of
// drivers tapped so far.
int install(_MSFactory *factory, const char *skip = nullptr, std::vector<std::string> *tapped = nullptr,
    std::vector<std::string> *refused = nullptr);

} // namespace cardtap
