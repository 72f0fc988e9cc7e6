#include "core/migrations/v2update.h"

void V2Update::update()
{
    exec(QStringLiteral("ALTER TABLE accounts ADD COLUMN fullname TEXT;"));
}
