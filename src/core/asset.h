#pragma once

#include <QString>

// Paths of files that lie beside the executable. An installed panel (bin/orvalo with its files in
// bin/../share/orvalo) finds there what is not beside it.
class Asset final
{
public:
    explicit Asset(const QString &dir);

    // The directory, one slash, then the name; the file need not exist. When it does not exist
    // beside the executable but does in the shared data directory, that path instead.
    QString get_file(const QString &name) const;

    const QString &dir() const { return m_dir; }

    // The shared data directory of an installed executable in `appDir` ("<prefix>/share/orvalo"
    // beside "<prefix>/bin"), or an empty string when the executable runs from a build tree.
    static QString sharedDataDir(const QString &appDir);

private:
    QString m_dir;
    QString m_shared;
};
