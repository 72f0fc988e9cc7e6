#pragma once

// A running recording of a call, owned by the call's record. The engine's recorder is handed in
// behind this interface, so the panel model builds and tests without the engine.
class CallRecording
{
public:
    virtual ~CallRecording() = default;
    // Stops and closes the recording; called once, before the object is destroyed.
    virtual void stop() = 0;
};
