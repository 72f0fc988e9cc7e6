#include "engine/linphoneutil.h"

namespace lp {

QString fromLibrary(const char *text)
{
    return QString::fromUtf8(text ? text : "");
}

QString addressText(const LinphoneAddress *address)
{
    if (!address)
        return QString();
    char *text = linphone_address_as_string(address);
    const QString result = fromLibrary(text);
    bctbx_free(text);
    return result;
}

bool hasMedia(LinphoneCallState state)
{
    switch (state) {
    case LinphoneCallStateStreamsRunning:
    case LinphoneCallStatePausing:
    case LinphoneCallStatePaused:
    case LinphoneCallStatePausedByRemote:
    case LinphoneCallStateResuming:
    case LinphoneCallStateUpdating:
    case LinphoneCallStateUpdatedByRemote:
        return true;
    default:
        return false;
    }
}

} // namespace lp
