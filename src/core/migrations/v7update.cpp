#include "core/migrations/v7update.h"

void V7Update::update()
{
    addColumn(QStringLiteral("accounts"), QStringLiteral("useipv6"), QStringLiteral("BOOLEAN DEFAULT 0"));
}
