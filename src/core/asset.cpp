#include "core/asset.h"

Asset::Asset(const QString &dir)
    : m_dir(dir)
{ }

QString Asset::get_file(const QString &name) const
{
    return m_dir + QLatin1Char('/') + name;
}
