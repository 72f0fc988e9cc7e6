#include "core/migrations/v3update.h"

void V3Update::update()
{
    addColumn(QStringLiteral("accounts"), QStringLiteral("phonenumber"), QStringLiteral("TEXT"));
}
