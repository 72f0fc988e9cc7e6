#include "core/migrations/v5update.h"

void V5Update::update()
{
    exec(QStringLiteral("ALTER TABLE department ADD COLUMN tenantmode text;"));
}
