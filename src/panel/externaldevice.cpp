#include "panel/externaldevice.h"

#include "core/settings.h"
#include "panel/call.h"
#include "panel/callrecord.h"

namespace {
// A device call that ended sooner than this never reached the device: a refusal, a busy or an
// unknown device.
constexpr qint64 DeviceReachedSeconds = 1;
} // namespace

ExternalDevice::ExternalDevice(const Settings &settings)
    : m_settings(settings)
{ }

bool ExternalDevice::enabled() const
{
    return m_settings.checkSetting(Settings::UseExternal, Setting::Yes);
}

bool ExternalDevice::placesOn(Trigger trigger) const
{
    if (!enabled())
        return false;
    return m_settings.checkSetting(
        Settings::UseExternalOn, trigger == Trigger::Ring ? Setting::Ring : Setting::Answered);
}

QString ExternalDevice::number() const
{
    return m_settings.getSetting(Settings::OperatorExtension);
}

bool ExternalDevice::showsLabel() const
{
    return !m_settings.checkSetting(Settings::HideExternalInboundCalls, Setting::Yes);
}

Call *ExternalDevice::pickUpTarget(const Call &device, bool answerFirstIfMany)
{
    const QHash<int, Call *> &links = device.getConnectedCalls();
    Call *first = nullptr;
    for (Call *call : links) {
        if (!first) {
            first = call;
            continue;
        }
        const QDateTime &start = call->getCallRecord().getStartTime();
        const QDateTime &firstStart = first->getCallRecord().getStartTime();
        if (start < firstStart || (start == firstStart && call->getCallId() < first->getCallId()))
            first = call;
    }
    if (!first || first->getCallAnswered() || first->getCallDirection() != CallDirection::Incoming)
        return nullptr;
    if (links.size() > 1 && !answerFirstIfMany)
        return nullptr;
    return first;
}

Call *ExternalDevice::pickUpTarget(const Call &device) const
{
    return pickUpTarget(device, m_settings.checkSetting(Settings::AnswerFirstIfMany, Setting::Yes));
}

ExternalDevice::PartnerFate ExternalDevice::partnerFate(const Call &partner, qint64 endedSeconds)
{
    const bool waiting = !partner.getCallAnswered() && partner.getCallDirection() == CallDirection::Incoming;
    if (!waiting)
        return partner.getConnectedCalls().isEmpty() ? PartnerFate::HangUp : PartnerFate::Stays;
    return endedSeconds > DeviceReachedSeconds ? PartnerFate::Relink : PartnerFate::Drop;
}
