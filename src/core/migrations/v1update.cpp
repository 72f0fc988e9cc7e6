#include "core/migrations/v1update.h"

void V1Update::update()
{
    exec(QStringLiteral("CREATE TABLE IF NOT EXISTS test(id integer primary key,value text);"));
}
