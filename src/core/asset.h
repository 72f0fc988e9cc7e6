#pragma once

#include <QString>

// Paths of files that lie beside the executable.
class Asset final
{
public:
    explicit Asset(const QString &dir);

    // The directory, one slash, then the name; the file need not exist.
    QString get_file(const QString &name) const;

    const QString &dir() const { return m_dir; }

private:
    QString m_dir;
};
