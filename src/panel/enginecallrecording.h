#pragma once

#include <memory>

#include "panel/callrecording.h"

class CallRecorder;
class Settings;
class SipDialer;

// A call record's running recording, made by the engine's recorder.
class EngineCallRecording final : public CallRecording
{
public:
    explicit EngineCallRecording(std::unique_ptr<CallRecorder> recorder);
    ~EngineCallRecording() override;
    EngineCallRecording(const EngineCallRecording &) = delete;
    EngineCallRecording &operator=(const EngineCallRecording &) = delete;

    // Call `callId` against the local microphone.
    static std::unique_ptr<CallRecording> start(Settings &settings, SipDialer &dialer, int callId);
    // Two bridged calls: a on the left, b on the right.
    static std::unique_ptr<CallRecording> start(Settings &settings, SipDialer &dialer, int a, int b);

    void stop() override;

private:
    std::unique_ptr<CallRecorder> m_recorder;
};
