#include "core/migrations/v5update.h"

void V5Update::update()
{
    addColumn(QStringLiteral("department"), QStringLiteral("tenantmode"), QStringLiteral("text"));
}
