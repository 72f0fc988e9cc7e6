#include "messaging/chatstore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "core/log.h"

namespace {

// Longest encoded name kept as it is; longer ones are cut and marked with a digest of the whole
// name, so that a file name stays far below the file system's limit of 255 bytes.
constexpr qsizetype MaxEncodedName = 100;

bool keeps(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' || c == '_'
        || c == '@';
}

} // namespace

ChatStore::ChatStore(const QString &folder)
    : m_folder(folder)
{
    QDir().mkpath(m_folder);
}

QString ChatStore::defaultFolder(const QString &appDir)
{
    const QFileInfo beside(QDir(appDir).filePath(QStringLiteral("chatlogs")));
    if (beside.isDir() && beside.isWritable())
        return beside.absoluteFilePath();
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)
        + QStringLiteral("/chatlogs");
}

QString ChatStore::encodeName(const QString &name)
{
    const QByteArray utf8 = name.toUtf8();
    QString out;
    for (char c : utf8) {
        if (keeps(c))
            out += QLatin1Char(c);
        else
            out += QLatin1Char('%') + QString::number(uchar(c), 16).toUpper().rightJustified(2, u'0');
    }
    if (out.isEmpty())
        return QStringLiteral("%00"); // no name at all: still one file, never "own-"
    if (out.size() > MaxEncodedName) {
        const QByteArray digest = QCryptographicHash::hash(utf8, QCryptographicHash::Sha1).toHex().left(16);
        out = out.left(MaxEncodedName - 20);
        while (out.endsWith(QLatin1Char('%')) || out.at(out.size() - 2) == QLatin1Char('%'))
            out.chop(1); // never cut through an escape
        out += QLatin1Char('~') + QString::fromLatin1(digest);
    }
    return out;
}

QString ChatStore::decodeName(const QString &encoded)
{
    QString name = encoded;
    if (const qsizetype cut = name.indexOf(QLatin1Char('~')); cut >= 0)
        name.truncate(cut);
    if (name == QLatin1String("%00"))
        return QString();
    return QString::fromUtf8(QByteArray::fromPercentEncoding(name.toLatin1()));
}

QString ChatStore::fileName(const QString &own, const QString &peer)
{
    return encodeName(own) + QLatin1Char('-') + encodeName(peer);
}

bool ChatStore::splitFileName(const QString &fileName, QString *own, QString *peer)
{
    const qsizetype dash = fileName.indexOf(QLatin1Char('-'));
    if (dash <= 0 || dash == fileName.size() - 1)
        return false;
    *own = decodeName(fileName.left(dash));
    *peer = decodeName(fileName.mid(dash + 1));
    return true;
}

QString ChatStore::path(const QString &own, const QString &peer) const
{
    return m_folder + QLatin1Char('/') + fileName(own, peer);
}

bool ChatStore::append(const QString &own, const QString &peer, const QByteArray &line) const
{
    QFile file(path(own, peer));
    if (!file.open(QIODevice::ReadWrite)) {
        LOG(QStringLiteral("Unable to write chat log ") + file.fileName() + QStringLiteral(": ")
            + file.errorString());
        return false;
    }
    QByteArray out;
    if (file.size() > 0 && file.seek(file.size() - 1) && file.read(1) != "\n")
        out += '\n'; // the last line was cut short: end it before ours
    out += line;
    if (!file.seek(file.size()) || file.write(out) != out.size()) {
        LOG(QStringLiteral("Unable to write chat log ") + file.fileName() + QStringLiteral(": ")
            + file.errorString());
        return false;
    }
    return true;
}

QList<QByteArray> ChatStore::readLines(const QString &path, qint64 maxBytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    bool cut = false;
    if (maxBytes >= 0 && file.size() > maxBytes) {
        cut = file.seek(file.size() - maxBytes);
    }
    QByteArray data = file.readAll();
    QList<QByteArray> result = data.split('\n');
    if (!result.isEmpty() && result.constLast().isEmpty())
        result.removeLast();
    if (cut && !result.isEmpty())
        result.removeFirst(); // started in the middle of a line
    return result;
}

QList<QByteArray> ChatStore::lines(const QString &own, const QString &peer) const
{
    return readLines(path(own, peer));
}

QList<QByteArray> ChatStore::tail(
    const QString &own, const QString &peer, int maxLines, qint64 maxBytes) const
{
    QList<QByteArray> result = readLines(path(own, peer), maxBytes);
    if (result.size() > maxLines)
        result = result.mid(result.size() - maxLines);
    return result;
}

QStringList ChatStore::conversations(const QString &own) const
{
    return QDir(m_folder).entryList({encodeName(own) + QStringLiteral("-*")}, QDir::Files, QDir::Name);
}

QStringList ChatStore::allConversations() const
{
    return QDir(m_folder).entryList({QStringLiteral("*-*")}, QDir::Files, QDir::Name);
}

bool ChatStore::remove(const QString &own, const QString &peer) const
{
    return QFile::remove(path(own, peer));
}
