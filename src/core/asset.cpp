#include "core/asset.h"

#include <QDir>
#include <QFileInfo>

Asset::Asset(const QString &dir)
    : m_dir(dir)
    , m_shared(sharedDataDir(dir))
{ }

QString Asset::get_file(const QString &name) const
{
    const QString beside = m_dir + QLatin1Char('/') + name;
    if (m_shared.isEmpty() || QFileInfo::exists(beside))
        return beside;
    const QString shared = m_shared + QLatin1Char('/') + name;
    return QFileInfo::exists(shared) ? shared : beside;
}

QString Asset::sharedDataDir(const QString &appDir)
{
    if (appDir.isEmpty())
        return QString();
    const QFileInfo shared(QDir(appDir).filePath(QStringLiteral("../share/orvalo")));
    return shared.isDir() ? QDir::cleanPath(shared.absoluteFilePath()) : QString();
}
