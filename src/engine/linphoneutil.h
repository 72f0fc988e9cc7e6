#pragma once

// Engine-private helpers shared by the engine's sources: text from the library and call states.

#include <QString>

#include <linphone/core.h>

namespace lp {

// Library text (UTF-8, may be null) as a QString.
QString fromLibrary(const char *text);
// An address as the library writes it ("Name" <sip:user@host>), empty for null.
QString addressText(const LinphoneAddress *address);
// The call has its streams (running, held either way, or being updated).
bool hasMedia(LinphoneCallState state);

} // namespace lp
