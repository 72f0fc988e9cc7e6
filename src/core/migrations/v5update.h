#pragma once

#include "core/migrations/dbupdate.h"

class V5Update final : public DBUpdate
{
public:
    using DBUpdate::DBUpdate;
    void update() override;
};
