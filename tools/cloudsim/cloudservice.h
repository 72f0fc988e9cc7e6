#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

class Fixture;
struct FixtureUser;
class QUrl;

// One answer of the service, before any failure mode is applied.
struct Reply
{
    int status = 200;
    QByteArray body;
    QByteArray contentType = QByteArrayLiteral("application/json");
    QByteArray setCookie; // a "Set-Cookie" value, or empty
};

// The endpoint a request path names, below any base path ("/briskogui//cloudapi/...").
struct Endpoint
{
    enum class Kind
    {
        Unknown,
        Hello,
        Login,
        CompanyDevices,
        ContactByNumber,
        ContactsByName,
        TenantByPartyId,
        CheckToken,
        SendFax,
        FaxView,
        Issues, // the issue tracker's list, below any base path; argument: the project id
    };
    Kind kind = Kind::Unknown;
    // The path below its family without argument or query ("kvusers/v1/get_contact_by_phonenumber",
    // "faxcdrs/v1/view"): what failure modes are keyed by.
    QString key;
    QString argument; // phone number, party id or fax reference

    static Endpoint resolve(const QUrl &url);
    // A failure-mode key as a user may write it: a trailing "/" or a query is dropped.
    static QString normalisedKey(const QString &written);
};

// The service's behaviour on top of the fixture: credentials and session tokens, the reply of
// every endpoint and the progress of the faxes sent.
class CloudService final
{
public:
    explicit CloudService(Fixture &fixture);

    Reply answer(const Endpoint &endpoint, const QByteArray &authorization, const QByteArray &contentType,
        const QByteArray &body);
    // The issue tracker's answer: 401 for a wrong API key, 404 for an unknown project, else
    // {"issues":[...],"total_count":N} with the newest update first.
    Reply issues(const Endpoint &endpoint, const QByteArray &apiKey) const;

    // How faxes to a destination go from now on (those already sent included): through the
    // fixture's progress texts (Normal), through them but ending in its failure text instead of the
    // last one (Fail), or staying at the first text however often they are viewed (Stall).
    enum class FaxOutcome
    {
        Normal,
        Fail,
        Stall
    };

    void setFaxOutcome(const QString &destination, FaxOutcome outcome);

private:
    // The user the "Authorization" value names: username@companycode with the password, a user's
    // token or a session token handed out by a login, each with ":" and an empty password for
    // tokens. Null for anything else.
    const FixtureUser *authorise(const QByteArray &authorization) const;
    Reply login(const FixtureUser &user, const QByteArray &body);
    Reply sendFax(const QByteArray &contentType, const QByteArray &body);
    Reply faxView(const QString &reference);

    Fixture &m_fixture;
    QHash<QString, qsizetype> m_sessions; // session token -> index of its user

    struct Fax
    {
        QString destination;
        qsizetype step = 0;
    };

    QHash<QString, Fax> m_faxes; // by call reference
    QHash<QString, FaxOutcome> m_faxOutcomes; // by destination; Normal when absent
};

// The same answer in the wrong shape: members of other types, an array of non-objects, or a JSON
// array holding a plain-text answer. Status 200.
Reply wrongShape(const Reply &normal);
