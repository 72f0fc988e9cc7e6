#pragma once

#include <memory>

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QVector>

namespace testbed {

// The cloud service simulator (build/bin/cloudsim, see tools/cloudsim/README.md) as a child
// process on 127.0.0.1. Its output is read while a wait runs the event loop; every request it
// received is kept with the headers and cookies that came with it. Stopped by pid in the
// destructor.
//
//     testbed::CloudSim cloud;
//     QVERIFY2(cloud.start({QStringLiteral("--sip-server"), proxy.hostPort()}), qPrintable(cloud.log()));
//     settings.setSetting(Settings::BriskoCloudApiUrl, cloud.baseUrl());
//     ...
//     const auto login = cloud.waitForRequest(QRegularExpression(QStringLiteral("login_device_details$")));
//     QCOMPARE(login.status, 200);
class CloudSim final
{
public:
    CloudSim();
    ~CloudSim();
    CloudSim(const CloudSim &) = delete;
    CloudSim &operator=(const CloudSim &) = delete;

    // Starts with the shipped fixture unless args give --fixture, on a free port unless they give
    // --port, and waits (bounded) for its "LISTENING" line.
    bool start(const QStringList &args = {});
    // Asks it to quit, then kills it by pid when it does not.
    void stop();

    QString baseUrl() const; // "https://127.0.0.1:PORT/briskogui/"
    QString hostPort() const; // "127.0.0.1:PORT"

    // Writes one control line ("fail kvusers/v1/hello never", "clear") and waits for its answer;
    // true when it was "OK".
    bool command(const QString &line);

    struct Request
    {
        QString method, path; // path as sent, with the base path and any query
        int status = 0; // -1 when the simulator closed or never answered on purpose
        QList<QPair<QByteArray, QByteArray>> headers; // in the order received
        QStringList cookies; // "name=value"

        bool valid() const { return !method.isEmpty(); }

        QByteArray header(const QByteArray &name) const; // first of that name, case-insensitive
    };

    // Waits (bounded, running the event loop) for a request whose path matches and that no
    // earlier wait returned; an invalid Request when none came.
    Request waitForRequest(const QRegularExpression &path, int timeoutMs = 5000);
    QList<Request> requests() const; // all so far
    QString log() const; // stdout and stderr so far

private:
    void readOutput() const;

    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    mutable QByteArray m_pending, m_stdout, m_stderr;
    mutable Request m_next; // headers and cookies of the request line to come
    mutable QList<Request> m_requests;
    mutable QVector<bool> m_taken;
    mutable QStringList m_answers; // "OK" and "ERROR ..." lines
    mutable QString m_listening;
};

} // namespace testbed
