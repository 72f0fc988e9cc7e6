#pragma once

#include "core/migrations/dbupdate.h"

class V4Update final : public DBUpdate
{
public:
    using DBUpdate::DBUpdate;
    void update() override;
};
