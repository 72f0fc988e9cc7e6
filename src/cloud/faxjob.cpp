#include "cloud/faxjob.h"

#include <QFile>
#include <QFileInfo>
#include <QHttpMultiPart>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QUrl>

#include "cloud/contract.h"
#include "cloud/kesapi.h"
#include "core/log.h"

QString resolutionText(FaxResolution resolution)
{
    switch (resolution) {
    case FaxResolution::Standard:
        return QStringLiteral("standard");
    case FaxResolution::Fine:
        return QStringLiteral("fine");
    case FaxResolution::Superfine:
        return QStringLiteral("superfine");
    case FaxResolution::None:
        break;
    }
    return QString();
}

QString faxExtref(const QDateTime &when, const QString &extension)
{
    return when.toString(QStringLiteral("yyyyMMdd-hhmmss")) + QLatin1Char('-') + extension.left(4);
}

QJsonObject faxDetails(const QString &extref, const QString &destination, FaxResolution resolution)
{
    const QJsonObject target {
        {QStringLiteral("callextref"), extref}, {QStringLiteral("destination"), destination}};
    return QJsonObject {
        {QStringLiteral("coverpage"), QStringLiteral("N")},
        {QStringLiteral("coverpagetitle"), QString()},
        {QStringLiteral("coverpagecontent"), QString()},
        {QStringLiteral("batchextref"), extref},
        {QStringLiteral("numdestinations"), 1},
        {QStringLiteral("resolution"), resolutionText(resolution)},
        {QStringLiteral("destinations"), QJsonArray {target}},
    };
}

FaxProgress readFaxProgress(const QByteArray &body, const QString &extref, const QString &destination)
{
    const QJsonDocument doc = QJsonDocument::fromJson(body);
    FaxProgress progress;
    if (doc.isArray()) {
        const QJsonArray list = doc.array();
        const QJsonObject first = list.isEmpty() ? QJsonObject() : list.first().toObject();
        const QJsonValue ref = first.value(QLatin1String("callextref"));
        const QJsonValue status = first.value(QLatin1String("statusmessage"));
        // An empty reference would start every text: it is never ours.
        if (!extref.isEmpty() && ref.isString() && ref.toString().startsWith(extref) && status.isString())
            progress = {true, status.toString()};
    } else if (doc.isObject()) {
        const QJsonValue results = doc.object().value(QLatin1String("results"));
        if (results.isObject()) {
            const QJsonValue status = results.toObject().value(destination);
            progress = {true, status.isString() ? status.toString() : QString()};
        }
    }
    return progress;
}

QString readFaxError(const QByteArray &body)
{
    const QJsonValue error = QJsonDocument::fromJson(body).object().value(QLatin1String("Error"));
    return error.isString() ? error.toString() : QString();
}

QString checkFaxFile(const QString &path)
{
    if (path.isEmpty())
        return QStringLiteral("No file selected");
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        return QStringLiteral("The file does not exist");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("The file cannot be read");
    if (file.size() == 0)
        return QStringLiteral("The file is empty");
    if (file.size() > MaxFaxBytes)
        return QStringLiteral("The file is larger than %1 MB").arg(MaxFaxBytes / (1024 * 1024));
    const QByteArray head = file.read(5);
    const bool pdf = head.startsWith("%PDF-");
    const bool tiff = head.startsWith(QByteArray("II*\0", 4)) || head.startsWith(QByteArray("MM\0*", 4));
    if (!pdf && !tiff)
        return QStringLiteral("The file is not a PDF or TIFF document");
    return QString();
}

FaxJob::FaxJob(Kesapi &kesapi, QObject *parent)
    : QObject(parent)
    , m_kesapi(kesapi)
{
    m_pollTimer.setSingleShot(true);
    m_pollTimer.setInterval(PollIntervalMs);
    connect(&m_pollTimer, &QTimer::timeout, this, &FaxJob::trackProgress);
}

FaxJob::~FaxJob() = default;

bool FaxJob::send(
    const QString &extref, const QString &destination, FaxResolution resolution, const QString &filePath)
{
    auto file = std::make_unique<QFile>(filePath);
    if (!file->open(QIODevice::ReadOnly))
        return false;
    m_extref = extref;
    m_destination = destination;
    m_stopped = false;
    LOG(QStringLiteral("File: ") + filePath);

    auto *multipart = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    QHttpPart details;
    details.setHeader(QNetworkRequest::ContentDispositionHeader,
        QStringLiteral("form-data; name=\"details\"; filename=\"details\""));
    details.setBody(
        QJsonDocument(faxDetails(extref, destination, resolution)).toJson(QJsonDocument::Compact));
    QHttpPart fax;
    // Quotes and line breaks in a file name would break the header.
    QString name = QFileInfo(filePath).fileName();
    name.replace(QLatin1Char('"'), QLatin1Char('_')).replace(QLatin1Char('\r'), QLatin1Char('_'));
    name.replace(QLatin1Char('\n'), QLatin1Char('_'));
    fax.setHeader(QNetworkRequest::ContentDispositionHeader,
        QStringLiteral("form-data; name=\"fax\"; filename=\"%1\"").arg(name));
    fax.setBodyDevice(file.get());
    file.release()->setParent(multipart); // read as the request goes out, freed with the body
    multipart->append(details);
    multipart->append(fax);

    QPointer<FaxJob> self(this);
    m_kesapi.faxpost(QString(Contract::SendFax), multipart, [self](QNetworkReply *reply) {
        if (self)
            self->handleReply(reply);
    });
    return true;
}

void FaxJob::stop()
{
    m_stopped = true;
    m_pollTimer.stop();
}

void FaxJob::trackProgress()
{
    if (!m_stopped)
        post(QString(Contract::FaxViewPrefix) + QString::fromLatin1(QUrl::toPercentEncoding(m_extref)));
}

void FaxJob::post(const QString &path)
{
    QPointer<FaxJob> self(this);
    m_kesapi.faxpost(path, [self](QNetworkReply *reply) {
        if (self)
            self->handleReply(reply);
    });
}

void FaxJob::handleReply(QNetworkReply *reply)
{
    if (m_stopped)
        return;
    const QByteArray body = reply->readAll();
    if (reply->error() != QNetworkReply::NoError) {
        LOG(QStringLiteral("ERROR: ") + QString::number(int(reply->error())) + QLatin1Char(' ')
            + reply->errorString());
        stop();
        emit failed(readFaxError(body));
        return;
    }
    LOG(QString::fromUtf8(body.left(4096)));
    const FaxProgress progress = readFaxProgress(body, m_extref, m_destination);
    if (progress.known)
        emit statusChanged(progress.status);
    m_pollTimer.start();
}
