#include "core/migrations/v6update.h"

void V6Update::update()
{
    exec(QStringLiteral("ALTER TABLE accounts ADD COLUMN accessid TEXT;"));
    exec(QStringLiteral("ALTER TABLE accounts ADD COLUMN accesspin TEXT;"));
}
