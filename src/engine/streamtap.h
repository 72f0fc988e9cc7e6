#pragma once

// Engine-private: taps and feeds the media graph of one call's audio stream.
//
// A call's stream runs two chains on the media thread: what arrives from the network (decoded,
// then mixed with the stack's local sounds: DTMF feedback, call-waiting tone, a played file) on its
// way to the speaker, and what the microphone captures (echo-cancelled, then gain and mute) on its
// way to the encoder. The taps take each side at the one point where it is still alone: the far
// end before the stack's local tone generator, our side before the echo canceller (whose output
// carries traces of what the speaker plays). Nothing else the sound card plays (the ringer,
// another call) passes either point. In-band DTMF is mixed in at the encoder's input, after both.
//
// A filter is tapped by giving it a copy of its description whose process runs the original and
// hands the samples on; filters keep that copy for their life. The stack rebuilds a stream when a
// call is held, resumed or renegotiated: attach again after each such change (attach() on the
// same filters does nothing).

#include <cstddef>
#include <cstdint>
#include <functional>

typedef struct _LinphoneCall LinphoneCall;

namespace streamtap {

enum class Point
{
    FarEnd, // what the call delivers, before any local sound is mixed in
    Microphone // what the microphone captures, before any processing or tone (muting comes later)
};

// Mono 16-bit samples at `rate`; called on a media thread.
using Sink = std::function<void(const int16_t *samples, size_t count, int rate)>;

// Taps the point of the call's current audio stream for `owner` (one sink per owner and point;
// a new attach replaces it). False when the call has no running audio stream or lacks the point.
bool attach(LinphoneCall *call, Point point, const void *owner, Sink sink);
// Removes every sink of `owner`.
void detach(const void *owner);

// Mixes one DTMF digit (0-9, *, #, A-D) into the audio the call sends: 100 ms of its two tones.
// False when the call has no running audio stream or the digit is none.
bool sendInband(LinphoneCall *call, char digit);

} // namespace streamtap
