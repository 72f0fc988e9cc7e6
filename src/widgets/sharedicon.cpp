#include "widgets/sharedicon.h"

#include <QHash>

const QIcon &sharedIcon(const QString &path)
{
    // Never destroyed: icons may still be drawn while the application object goes.
    static auto *icons = new QHash<QString, QIcon>;
    auto found = icons->find(path);
    if (found == icons->end())
        found = icons->insert(path, QIcon(path));
    return *found;
}
