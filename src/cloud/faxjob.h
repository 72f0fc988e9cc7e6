#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class Kesapi;
class QNetworkReply;

enum class FaxResolution
{
    None, // no choice made: sent as an empty text
    Standard,
    Fine,
    Superfine
};

QString resolutionText(FaxResolution resolution);

// The reference of one fax: "yyyyMMdd-hhmmss-" and the first four characters of the sender's
// extension.
QString faxExtref(const QDateTime &when, const QString &extension);

// The "details" part of a send request for one destination (sent as it stands, blanks included).
QJsonObject faxDetails(const QString &extref, const QString &destination, FaxResolution resolution);

// What a progress reply (or the send reply) says about this fax: the status text, or no text when
// the reply has another shape or is about another fax.
struct FaxProgress
{
    bool known = false;
    QString status;
};

FaxProgress readFaxProgress(const QByteArray &body, const QString &extref, const QString &destination);

// The "Error" text of an error reply; empty when the body has none.
QString readFaxError(const QByteArray &body);

// Why a file cannot be sent as a fax, or an empty text when it can: it must exist, be readable,
// hold something, be at most MaxFaxBytes and be a PDF or a TIFF document by its first bytes.
inline constexpr qint64 MaxFaxBytes = 20 * 1024 * 1024;
QString checkFaxFile(const QString &path);

// One fax being sent and followed: posts the document with its details, then asks for its
// progress ten seconds after every good reply until stop(). Replies that arrive after stop() (or
// after the job is gone) are dropped without touching anything. An error reply ends the polling.
class FaxJob final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FaxJob)

public:
    static constexpr int PollIntervalMs = 10000;

    explicit FaxJob(Kesapi &kesapi, QObject *parent = nullptr);
    ~FaxJob() override;

    void setPollInterval(int ms) { m_pollTimer.setInterval(ms); }

    const QString &extref() const { return m_extref; }

    bool isStopped() const { return m_stopped; }

    // Builds the request and posts it; false (nothing sent) when the file cannot be opened.
    bool send(
        const QString &extref, const QString &destination, FaxResolution resolution, const QString &filePath);

    // The destination the status is looked up by (the field's current text).
    void setDestination(const QString &destination) { m_destination = destination; }

    // Ends the polling; later replies and timers do nothing.
    void stop();

    // A progress request now (the poll timer's time-out).
    void trackProgress();

signals:
    void statusChanged(const QString &status);
    // An error reply: the service's "Error" text (may be empty). Polling has stopped.
    void failed(const QString &error);

private:
    void handleReply(QNetworkReply *reply);
    void post(const QString &path);

    Kesapi &m_kesapi;
    QString m_extref;
    QString m_destination;
    QTimer m_pollTimer;
    bool m_stopped = false;
};
