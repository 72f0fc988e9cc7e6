#pragma once

#include <QString>

// Names shown for the parties of a call, derived from the address texts the engine reports
// (for example `"Reception" <sip:200@pbx.example.com>`).

// The name shown for the remote party of a call record, tried in this order: a quoted display
// name at the start (backslash escapes inside it are undone; the whole name may also be written
// with escaped quotes, \"Name\"), an unquoted display name before "<", the numeric user part of a
// sip:/sips: URI (a leading "+" and the dial characters * and # allowed), the number of a tel: URI
// without its visual separators, a text that is only a number. Anything else (a user part with
// letters, a URI without user part) gives the empty string.
QString remoteDisplayName(const QString &remote);

// The caller shown for an offered call: its quoted display name, else the whole remote text.
QString incomingCallerName(const QString &remoteInfo);

// The called local number of an offered call: the user part of the local URI, else the whole text.
QString localPartyNumber(const QString &localInfo);
