#include "core/migrations/v2update.h"

void V2Update::update()
{
    addColumn(QStringLiteral("accounts"), QStringLiteral("fullname"), QStringLiteral("TEXT"));
}
