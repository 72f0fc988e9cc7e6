#include "panel/contactlookup.h"

#include "cloud/contract.h"
#include "core/settings.h"

namespace {
const QString CloudContactSource = QStringLiteral("KesCloud Contact");
} // namespace

ContactLookup::ContactLookup(const Settings &settings)
    : m_settings(settings)
{ }

bool ContactLookup::looksUpAt(Moment moment) const
{
    const bool onAnswer = m_settings.checkSetting(Settings::LookupCallOnAnswer, Setting::Yes);
    return moment == Moment::Answered ? onAnswer : !onAnswer;
}

ContactLookup::ContactPlan ContactLookup::contactPlan(const orvalo_call_info &info) const
{
    ContactPlan plan;
    plan.number = callerNumber(info.remote_info);
    if (m_settings.checkSetting(Settings::ContactLookup, CloudContactSource) && !plan.number.isEmpty())
        plan.request = Contract::ContactByPhoneNumberPrefix + plan.number;
    if (m_settings.checkSetting(Settings::IncomingCallDirectoryLookup, Setting::Yes))
        plan.partyId = partyId(info.called_party_id);
    return plan;
}

bool ContactLookup::queriesHeader() const
{
    return !m_settings.checkSetting(Settings::CallLabelTopLeftText, Setting::Unset);
}

ContactLookup::HeaderPlan ContactLookup::headerPlan(const orvalo_call_info &info) const
{
    HeaderPlan plan;
    if (m_settings.checkSetting(Settings::CallLabelTopLeftText, Setting::ContactName)) {
        const QString number = callerNumber(info.remote_info);
        if (!number.isEmpty())
            plan = {HeaderSource::ContactName, Contract::ContactByPhoneNumberPrefix + number};
    } else if (m_settings.checkSetting(Settings::CallLabelTopLeftText, Setting::ShortGreeting)) {
        const QString party = partyId(info.called_party_id);
        if (!party.isEmpty())
            plan = {HeaderSource::ShortGreeting, Contract::TenantByPartyIdPrefix + party};
    }
    return plan;
}

ContactLookup::DetailsUpdate ContactLookup::detailsFor(const QList<ContactDetails> &results) const
{
    DetailsUpdate update;
    if (results.isEmpty() || !results.first().valid)
        return update;
    update.shown = results.first();
    update.showTab = m_settings.checkSetting(Settings::EnableContactDetailsTab, Setting::Yes);
    if (!update.shown.issueProject.isEmpty())
        update.issueProject = update.shown.issueProject.toInt(); // 0 when not decimal
    return update;
}

QString ContactLookup::dialString(const QString &number) const
{
    return m_settings.getSetting(Settings::OutboundDialPrefix) + number;
}
