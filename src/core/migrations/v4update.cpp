#include "core/migrations/v4update.h"

void V4Update::update()
{
    exec(QStringLiteral(
        "CREATE TABLE _department(id integer primary key,partyid text,name text,greeting text);"));
    exec(QStringLiteral("INSERT INTO _department SELECT * FROM department;"));
    exec(QStringLiteral("DROP TABLE department;"));
    exec(QStringLiteral(
        "CREATE TABLE department(id integer primary key,partyid text,name text,greeting text);"));
    exec(QStringLiteral("INSERT INTO department SELECT * FROM _department;"));
    exec(QStringLiteral("DROP TABLE _department;"));
}
