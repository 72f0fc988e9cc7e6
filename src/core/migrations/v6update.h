#pragma once

#include "core/migrations/dbupdate.h"

class V6Update final : public DBUpdate
{
public:
    using DBUpdate::DBUpdate;
    void update() override;
};
