#pragma once

#include <QString>
#include <QStringList>

#include "engine/records.h"

// The DTMF method stored in accounts.dtmftype as the text of the editor's choice.
namespace DtmfMethod {
// "RFC2833", "In-band", "SIP INFO", in the editor's order.
QStringList texts();
// Exact, case-sensitive match; anything else (empty included) is RFC 2833.
DTMFType fromText(const QString &text);
QString toText(DTMFType type);
} // namespace DtmfMethod
