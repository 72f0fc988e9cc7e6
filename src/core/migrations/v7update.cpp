#include "core/migrations/v7update.h"

void V7Update::update()
{
    exec(QStringLiteral("ALTER TABLE accounts ADD COLUMN useipv6 BOOLEAN DEFAULT 0;"));
}
