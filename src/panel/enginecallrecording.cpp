#include "panel/enginecallrecording.h"

#include "engine/callrecorder.h"

EngineCallRecording::EngineCallRecording(std::unique_ptr<CallRecorder> recorder)
    : m_recorder(std::move(recorder))
{ }

EngineCallRecording::~EngineCallRecording() = default;

std::unique_ptr<CallRecording> EngineCallRecording::start(Settings &settings, SipDialer &dialer, int callId)
{
    return std::make_unique<EngineCallRecording>(std::make_unique<CallRecorder>(settings, &dialer, callId));
}

std::unique_ptr<CallRecording> EngineCallRecording::start(Settings &settings, SipDialer &dialer, int a, int b)
{
    return std::make_unique<EngineCallRecording>(std::make_unique<CallRecorder>(settings, &dialer, a, b));
}

void EngineCallRecording::stop()
{
    if (m_recorder)
        m_recorder->stop();
}
