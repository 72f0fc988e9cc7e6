#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The chat logs on disk: one file per pair of own extension and peer, named
// <own>-<peer> inside one folder. Both names are written so that any text is a safe file name:
// letters, digits, "+", "_" and "@" stay, every other character (".", "/", "-" among them) is
// written as "%XX" of its UTF-8 bytes, so a name never leaves the folder, never reads as "." or
// "..", and the first "-" of a file name always separates the two.
class ChatStore final
{
public:
    // A store in `folder` (created when missing).
    explicit ChatStore(const QString &folder);

    // The folder of the application's chat logs: "chatlogs" beside the executable when that
    // folder exists and is writable, else "chatlogs" in the per-user data directory. Writing,
    // listing and the history all use this one folder.
    static QString defaultFolder(const QString &appDir);

    const QString &folder() const { return m_folder; }

    static QString encodeName(const QString &name);
    static QString decodeName(const QString &encoded);
    static QString fileName(const QString &own, const QString &peer);
    // Own extension and peer of a chat log file name; false when the name is not one.
    static bool splitFileName(const QString &fileName, QString *own, QString *peer);

    QString path(const QString &own, const QString &peer) const;

    // Appends one encoded line (ChatLine::encode). A file that ends in the middle of a line (cut
    // short by a crash or a full disk) gets its line ended first, so the new line stays whole.
    // False when the file cannot be opened or written (logged).
    bool append(const QString &own, const QString &peer, const QByteArray &line) const;

    // Every line of the conversation without line feeds; empty when there is no file or it
    // cannot be read.
    QList<QByteArray> lines(const QString &own, const QString &peer) const;

    // The last lines of the conversation, at most `maxLines` of them and read from at most the
    // last `maxBytes` of the file (a line cut by that limit is left out).
    QList<QByteArray> tail(const QString &own, const QString &peer, int maxLines, qint64 maxBytes) const;

    // File names of own's conversations, sorted.
    QStringList conversations(const QString &own) const;
    // Every chat log file name in the folder, sorted.
    QStringList allConversations() const;

    bool remove(const QString &own, const QString &peer) const;

    static QList<QByteArray> readLines(const QString &path, qint64 maxBytes = -1);

private:
    QString m_folder;
};
