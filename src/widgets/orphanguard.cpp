#include "widgets/orphanguard.h"

#include <QWidget>

#include <memory>

QWidget *orphanGuard()
{
    static std::unique_ptr<QWidget> guard;
    if (!guard)
        guard = std::make_unique<QWidget>();
    return guard.get();
}
