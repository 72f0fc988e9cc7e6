#include "widgets/orphanguard.h"

#include <memory>

#include <QWidget>

QWidget *orphanGuard()
{
    static std::unique_ptr<QWidget> guard;
    if (!guard)
        guard = std::make_unique<QWidget>();
    return guard.get();
}
