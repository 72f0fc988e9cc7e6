#include "panel/accountvalidator.h"

#include <limits>

#include <QRegularExpression>

#include "panel/codeclist.h"

namespace {
enum class Kind
{
    Name, // free text shown to people or sent as a display name
    UriPart, // user, extension, numbers: goes into a SIP URI
    Host, // host name or address, optionally with ":port"
};

struct Rule
{
    const char *column;
    Kind kind;
    bool required;
};

// Text fields in editor order (the password is only checked for being present).
constexpr Rule Rules[] = {
    {"accountname", Kind::Name, false},
    {"domain", Kind::Host, true},
    {"user", Kind::UriPart, true},
    {"extension", Kind::UriPart, false},
    {"callerid", Kind::Name, false},
    {"sipserveraddress", Kind::Host, true},
    {"proxyserveraddress", Kind::Host, false},
    {"stunserveraddress", Kind::Host, false},
    {"provisioningserveraddress", Kind::Host, false},
    {"voicemail", Kind::UriPart, false},
};

const Rule *ruleFor(const QString &column)
{
    for (const Rule &rule : Rules) {
        if (column == QLatin1String(rule.column))
            return &rule;
    }
    return nullptr;
}

bool hasQuote(const QString &text)
{
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\'') || c == QLatin1Char('`') || c == QChar(0x2018)
            || c == QChar(0x2019) || c == QChar(0x201C) || c == QChar(0x201D))
            return true;
    }
    return false;
}

bool hasNonLatinLetter(const QString &text)
{
    for (const QChar c : text) {
        if (c.isLetter() && c.script() != QChar::Script_Latin)
            return true;
    }
    return false;
}

QString fieldText(const QString &column, const QString &text, bool required)
{
    const Rule *rule = ruleFor(column);
    if (text.trimmed().isEmpty())
        return required ? QStringLiteral("Required; must not be blank.") : QString();
    if (hasQuote(text))
        return QStringLiteral("Must not contain quotes.");
    if (hasNonLatinLetter(text))
        return QStringLiteral("Only Latin letters are allowed.");
    if (!rule)
        return {};
    switch (rule->kind) {
    case Kind::Name:
        if (text.contains(QLatin1Char('\\')) || text.contains(QLatin1Char('<'))
            || text.contains(QLatin1Char('>')))
            return QStringLiteral("Must not contain \\, < or >.");
        break;
    case Kind::UriPart: {
        static const QRegularExpression uriPart(QStringLiteral(R"re(^[A-Za-z0-9+*#._~!$&()=,;-]+$)re"));
        if (!uriPart.match(text).hasMatch())
            return QStringLiteral("Only letters A-Z, digits and + * # . _ - are allowed; no spaces.");
        break;
    }
    case Kind::Host: {
        static const QRegularExpression host(QStringLiteral(
            R"re(^(?:[A-Za-z0-9](?:[A-Za-z0-9-]*[A-Za-z0-9])?(?:\.[A-Za-z0-9](?:[A-Za-z0-9-]*)re"
            R"re([A-Za-z0-9])?)*\.?|\[[0-9A-Fa-f:.]+\])(?::([0-9]+))?$)re"));
        const auto m = host.match(text.trimmed());
        if (!m.hasMatch())
            return QStringLiteral("Not a host name or address.");
        if (m.hasCaptured(1)) {
            const int port = m.captured(1).toInt();
            if (port < 1 || port > 65535)
                return QStringLiteral("The port must be from 1 to 65535.");
        }
        break;
    }
    }
    return {};
}

bool isWholeNumber(const QString &text, qint64 min, qint64 max)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    const QString trimmed = text.trimmed();
    if (!digits.match(trimmed).hasMatch())
        return false;
    bool ok = false;
    const qint64 value = trimmed.toLongLong(&ok);
    return ok && value >= min && value <= max;
}
} // namespace

AccountValidator::AccountValidator(DuplicateCheck duplicate)
    : m_duplicate(std::move(duplicate))
{ }

QString AccountValidator::checkText(const QString &column, const QString &text)
{
    const Rule *rule = ruleFor(column);
    return fieldText(column, text, rule && rule->required);
}

QList<AccountValidator::Problem> AccountValidator::validate(const Fields &f) const
{
    QList<Problem> problems;
    const auto check = [&](const char *column, const QString &text) {
        const QString message = checkText(QLatin1String(column), text);
        if (!message.isEmpty())
            problems.append({QLatin1String(column), message});
        return message.isEmpty();
    };

    check("accountname", f.accountname);
    check("domain", f.domain);
    check("user", f.user);
    if (f.password.contains(QLatin1Char('\n')) || f.password.contains(QLatin1Char('\r')))
        problems.append({QStringLiteral("password"), QStringLiteral("Must be on one line.")});
    const bool extensionOk = check("extension", f.extension);
    check("callerid", f.callerid);
    const bool serverOk = check("sipserveraddress", f.sipserveraddress);
    if (extensionOk && serverOk && !f.extension.trimmed().isEmpty() && m_duplicate
        && m_duplicate(f.accountId, f.extension.trimmed(), f.sipserveraddress.trimmed())) {
        problems.append({QStringLiteral("extension"),
            QStringLiteral("Extension %1 already exists on %2.")
                .arg(f.extension.trimmed(), f.sipserveraddress.trimmed())});
    }
    check("proxyserveraddress", f.proxyserveraddress);
    check("stunserveraddress", f.stunserveraddress);
    check("provisioningserveraddress", f.provisioningserveraddress);
    if (!isWholeNumber(f.sipport, 1, 65535))
        problems.append({QStringLiteral("sipport"), QStringLiteral("Must be a number from 1 to 65535.")});
    if (!isWholeNumber(f.registrationtime, 1, std::numeric_limits<int>::max()))
        problems.append(
            {QStringLiteral("registrationtime"), QStringLiteral("Must be a positive number of seconds.")});
    check("voicemail", f.voicemail);

    const CodecList codecs(f.audiocodecs);
    QStringList codecProblems;
    if (const QStringList unknown = codecs.unknownItems(); !unknown.isEmpty())
        codecProblems.append(
            QStringLiteral("Unknown codec: ") + unknown.join(QStringLiteral(", ")) + QLatin1Char('.'));
    if (const QStringList missing = codecs.unavailableCodecs(); !missing.isEmpty())
        codecProblems.append(QStringLiteral("Not available in this build: ")
            + missing.join(QStringLiteral(", ")) + QLatin1Char('.'));
    if (!codecProblems.isEmpty())
        problems.append({QStringLiteral("audiocodecs"), codecProblems.join(QLatin1Char(' '))});
    return problems;
}
