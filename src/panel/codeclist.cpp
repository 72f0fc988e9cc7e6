#include "panel/codeclist.h"

const std::vector<CodecList::Codec> &CodecList::known()
{
    static const std::vector<Codec> codecs = {
        {QStringLiteral("ulaw"), QStringLiteral("PCMU/8000/1"), QStringLiteral("G.711 Ulaw"), true},
        {QStringLiteral("alaw"), QStringLiteral("PCMA/8000/1"), QStringLiteral("G.711 Alaw"), true},
        {QStringLiteral("g722"), QStringLiteral("G722/16000/1"), QStringLiteral("G.722 HD"), true},
        {QStringLiteral("gsm"), QStringLiteral("GSM/8000/1"), QStringLiteral("GSM"), true},
        {QStringLiteral("speexwideband"), QStringLiteral("speex/16000/1"), QStringLiteral("Speex Wideband"),
            true},
        {QStringLiteral("opus"), QStringLiteral("opus/48000/2"), QStringLiteral("Opus"), true},
        {QStringLiteral("speexnarrowband"), QStringLiteral("speex/8000/1"),
            QStringLiteral("Speex Narrowband"), true},
        {QStringLiteral("speexultrawideband"), QStringLiteral("speex/32000/1"),
            QStringLiteral("Speex Ultra-wideband"), true},
        {QStringLiteral("g729"), QStringLiteral("G729/8000/1"), QStringLiteral("G.729"), true},
        {QStringLiteral("g726"), QStringLiteral("G726-32/8000/1"), QStringLiteral("G.726"), true},
        {QStringLiteral("l16"), QStringLiteral("L16/44100/1"), QStringLiteral("L16"), true},
        {QStringLiteral("ilbc"), QStringLiteral("iLBC/8000/1"), QStringLiteral("iLBC"), false},
        {QStringLiteral("silk"), QStringLiteral("SILK/16000/1"), QStringLiteral("SILK"), false},
        {QStringLiteral("amr"), QStringLiteral("AMR/8000/1"), QStringLiteral("AMR"), false},
    };
    return codecs;
}

const CodecList::Codec *CodecList::find(const QString &key)
{
    for (const Codec &codec : known()) {
        if (codec.key == key)
            return &codec;
    }
    return nullptr;
}

CodecList::CodecList(const QString &stored)
    : m_items(stored.split(QLatin1Char(',')))
{
    // An empty text is an empty list, not one empty item.
    if (stored.isEmpty())
        m_items.clear();
}

void CodecList::setEnabled(const QString &key, bool enabled)
{
    if (enabled)
        m_items.append(key);
    else
        m_items.removeAll(key);
}

QStringList CodecList::engineIdentifiers() const
{
    QStringList identifiers;
    identifiers.reserve(m_items.size());
    for (const QString &item : m_items) {
        const Codec *codec = find(item);
        identifiers.append(codec ? codec->identifier : item);
    }
    return identifiers;
}

QStringList CodecList::unknownItems() const
{
    QStringList unknown;
    for (const QString &item : m_items) {
        if (!item.trimmed().isEmpty() && !find(item))
            unknown.append(item);
    }
    return unknown;
}

QStringList CodecList::unavailableCodecs() const
{
    QStringList missing;
    for (const QString &item : m_items) {
        const Codec *codec = find(item);
        if (codec && !codec->available && !missing.contains(codec->label))
            missing.append(codec->label);
    }
    return missing;
}
