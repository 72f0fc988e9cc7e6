#pragma once

#include <vector>

#include <QString>
#include <QStringList>

// The audio codec list of an account as stored in accounts.audiocodecs: codec keys separated by
// ",", in order of preference. Empty items are kept as they are (a new account stores ",ulaw"),
// and reach the engine as empty identifiers, which it skips.
class CodecList final
{
public:
    struct Codec
    {
        QString key; // stored name, e.g. "ulaw"
        QString identifier; // engine codec identifier, "mime/rate/channels"
        QString label; // shown to the user
        bool available; // built into our SIP package
    };

    // Every codec key this program knows, including the ones our SIP package is built without.
    static const std::vector<Codec> &known();
    static const Codec *find(const QString &key);

    explicit CodecList(const QString &stored = QString());

    const QStringList &items() const { return m_items; }

    QString toString() const { return m_items.join(QLatin1Char(',')); }

    bool contains(const QString &key) const { return m_items.contains(key); }

    // Appends the key when enabling it; removes every occurrence when disabling.
    void setEnabled(const QString &key, bool enabled);

    // The items mapped to engine identifiers; an unknown item passes through unchanged.
    QStringList engineIdentifiers() const;

    // Items that name no codec at all, and known codecs this build lacks (by label).
    QStringList unknownItems() const;
    QStringList unavailableCodecs() const;

private:
    QStringList m_items;
};
