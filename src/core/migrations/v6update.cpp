#include "core/migrations/v6update.h"

void V6Update::update()
{
    addColumn(QStringLiteral("accounts"), QStringLiteral("accessid"), QStringLiteral("TEXT"));
    addColumn(QStringLiteral("accounts"), QStringLiteral("accesspin"), QStringLiteral("TEXT"));
}
