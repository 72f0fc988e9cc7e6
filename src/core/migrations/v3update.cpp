#include "core/migrations/v3update.h"

void V3Update::update()
{
    exec(QStringLiteral("ALTER TABLE accounts ADD COLUMN phonenumber TEXT;"));
}
