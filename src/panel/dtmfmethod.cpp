#include "panel/dtmfmethod.h"

namespace DtmfMethod {
QStringList texts()
{
    return {QStringLiteral("RFC2833"), QStringLiteral("In-band"), QStringLiteral("SIP INFO")};
}

DTMFType fromText(const QString &text)
{
    if (text == QLatin1String("In-band"))
        return DTMF_INBAND;
    if (text == QLatin1String("SIP INFO"))
        return DTMF_SIPINFO;
    return DTMF_RFC2833;
}

QString toText(DTMFType type)
{
    switch (type) {
    case DTMF_INBAND:
        return QStringLiteral("In-band");
    case DTMF_SIPINFO:
        return QStringLiteral("SIP INFO");
    case DTMF_RFC2833:
        break;
    }
    return QStringLiteral("RFC2833");
}
} // namespace DtmfMethod
