#pragma once

#include <optional>

#include <QList>
#include <QString>

#include "cloud/contactreply.h"
#include "engine/records.h"

class Settings;

// What the panel asks the cloud service about a caller, and when, by the options: the caller's
// contact (for the details tab), the directory tab of the called party, and the text of the call
// label's top header (the caller's contact name or the called tenant's short greeting). It also
// decides what a contact reply changes in the details tab. No requests are sent from here.
class ContactLookup final
{
public:
    explicit ContactLookup(const Settings &settings);

    // When the caller's contact lookup runs: when the call is offered, or when it is answered
    // ("LookupCallOnAnswer").
    enum class Moment
    {
        Offered,
        Answered,
    };

    bool looksUpAt(Moment moment) const;

    struct ContactPlan
    {
        QString request; // endpoint path of the contact request; empty: none is sent
        QString number; // the caller's number
        QString partyId; // directory tab to select; empty: the tab stays
    };

    // The contact request ("ContactLookup" at "KesCloud Contact" and a caller number) and the
    // directory tab ("IncomingCallDirectoryLookup" and a party id).
    ContactPlan contactPlan(const orvalo_call_info &info) const;

    enum class HeaderSource
    {
        None,
        ContactName, // the first contact result's name
        ShortGreeting, // the tenant's "shortgreeting"
    };

    struct HeaderPlan
    {
        HeaderSource source = HeaderSource::None;
        QString request; // endpoint path; empty when source is None
    };

    // Whether an offered call's label header is asked for at all ("CallLabelTopLeftText" set).
    bool queriesHeader() const;
    HeaderPlan headerPlan(const orvalo_call_info &info) const;

    struct DetailsUpdate
    {
        ContactDetails shown; // all empty when the reply holds no valid first contact
        bool showTab = false; // make the contact details tab current
        std::optional<int> issueProject; // list this project's issues
    };

    // What a contact reply shows: the first result, the tab made current when there is one and
    // "EnableContactDetailsTab" is on, and its client's issue project (a text that is not a
    // decimal number asks for project 0).
    DetailsUpdate detailsFor(const QList<ContactDetails> &results) const;

    // The dial field's text for a contact's number: "OutboundDialPrefix" + number.
    QString dialString(const QString &number) const;

private:
    const Settings &m_settings;
};
