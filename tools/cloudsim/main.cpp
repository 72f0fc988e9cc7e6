// cloudsim: the cloud service simulator for tests and the demo. See README.md.

#include <csignal>
#include <cstdio>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTemporaryDir>

#include "cloudservice.h"
#include "console.h"
#include "fixture.h"
#include "server.h"

namespace {

int fail(const QString &text)
{
    std::fprintf(stderr, "cloudsim: %s\n", qPrintable(text));
    return 2;
}

QSslKey readKey(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray pem = file.readAll();
    for (const QSsl::KeyAlgorithm algorithm : {QSsl::Rsa, QSsl::Ec}) {
        QSslKey key(pem, algorithm);
        if (!key.isNull())
            return key;
    }
    return {};
}

// A self-signed certificate for 127.0.0.1, made by openssl in a folder removed again at exit.
bool makeCertificate(const QTemporaryDir &dir, QString *certPath, QString *keyPath, QString *error)
{
    *certPath = dir.filePath(QStringLiteral("cert.pem"));
    *keyPath = dir.filePath(QStringLiteral("key.pem"));
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"),
        {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
            QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"),
            QStringLiteral("-nodes"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
            QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1"), QStringLiteral("-days"),
            QStringLiteral("30"), QStringLiteral("-keyout"), *keyPath, QStringLiteral("-out"), *certPath});
    if (!openssl.waitForFinished(30000) || openssl.exitStatus() != QProcess::NormalExit
        || openssl.exitCode() != 0) {
        *error = QStringLiteral("openssl failed: ") + QString::fromLocal8Bit(openssl.readAll())
            + openssl.errorString();
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("cloudsim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("HTTPS simulator of the cloud service on 127.0.0.1."));
    parser.addHelpOption();
    const QCommandLineOption fixtureOption(QStringLiteral("fixture"), QStringLiteral("JSON fixture file."),
        QStringLiteral("FILE"), QStringLiteral(CLOUDSIM_FIXTURE));
    const QCommandLineOption portOption(QStringLiteral("port"),
        QStringLiteral("Port on 127.0.0.1 (0: a free port)."), QStringLiteral("N"), QStringLiteral("8443"));
    const QCommandLineOption certOption(
        QStringLiteral("cert"), QStringLiteral("PEM certificate."), QStringLiteral("FILE"));
    const QCommandLineOption keyOption(
        QStringLiteral("key"), QStringLiteral("PEM private key."), QStringLiteral("FILE"));
    const QCommandLineOption sipOption(QStringLiteral("sip-server"),
        QStringLiteral("Registrar of every device and directory entry."), QStringLiteral("HOST:PORT"));
    const QCommandLineOption failOption(QStringLiteral("fail"),
        QStringLiteral("Failure mode of an endpoint (\"*\": all), repeatable."),
        QStringLiteral("ENDPOINT=MODE"));
    const QCommandLineOption sizeOption(QStringLiteral("directory-size"),
        QStringLiteral("Answer with N generated directory entries."), QStringLiteral("N"));
    const QCommandLineOption redmineKeyOption(QStringLiteral("redmine-key"),
        QStringLiteral("API key the issue tracker list wants (default: the fixture's)."),
        QStringLiteral("KEY"));
    const QCommandLineOption faxFailOption(QStringLiteral("fax-fail"),
        QStringLiteral("Faxes to this destination end in the fixture's failure text, repeatable."),
        QStringLiteral("NUMBER"));
    const QCommandLineOption faxStallOption(QStringLiteral("fax-stall"),
        QStringLiteral("Faxes to this destination never get past their first status, repeatable."),
        QStringLiteral("NUMBER"));
    parser.addOptions({fixtureOption, portOption, certOption, keyOption, sipOption, failOption, sizeOption,
        redmineKeyOption, faxFailOption, faxStallOption});
    parser.process(app);

    if (!QSslSocket::supportsSsl())
        return fail(QStringLiteral("no TLS support in this Qt"));
    Fixture fixture;
    QString error;
    if (!fixture.load(parser.value(fixtureOption), &error))
        return fail(error);
    if (parser.isSet(sipOption)) {
        const QString hostPort = parser.value(sipOption);
        if (!hostPort.contains(QLatin1Char(':')))
            return fail(QStringLiteral("--sip-server wants HOST:PORT"));
        fixture.setSipServer(hostPort);
    }
    if (parser.isSet(sizeOption)) {
        bool ok = false;
        const int size = parser.value(sizeOption).toInt(&ok);
        if (!ok || size < 0)
            return fail(QStringLiteral("--directory-size wants a count"));
        fixture.generateDirectory(size);
    }
    if (parser.isSet(redmineKeyOption))
        fixture.setRedmineKey(parser.value(redmineKeyOption));
    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    if (!portOk || port > 65535)
        return fail(QStringLiteral("--port wants a port number"));

    CloudService service(fixture);
    CloudServer server(service);
    for (const QString &failure : parser.values(failOption)) {
        const qsizetype at = failure.lastIndexOf(QLatin1Char('='));
        const std::optional<FailureMode> mode
            = at > 0 ? FailureMode::parse(failure.mid(at + 1)) : std::nullopt;
        if (!mode)
            return fail(QStringLiteral("--fail wants ENDPOINT=MODE, not ") + failure);
        server.setFailure(failure.left(at), *mode);
    }
    for (const QString &number : parser.values(faxFailOption))
        service.setFaxOutcome(number, CloudService::FaxOutcome::Fail);
    for (const QString &number : parser.values(faxStallOption))
        service.setFaxOutcome(number, CloudService::FaxOutcome::Stall);

    QTemporaryDir certDir;
    QString certPath = parser.value(certOption);
    QString keyPath = parser.value(keyOption);
    if (certPath.isEmpty() != keyPath.isEmpty())
        return fail(QStringLiteral("--cert and --key go together"));
    if (certPath.isEmpty() && !makeCertificate(certDir, &certPath, &keyPath, &error))
        return fail(error);
    const QSslCertificate certificate = QSslCertificate::fromPath(certPath).value(0);
    const QSslKey key = readKey(keyPath);
    if (certificate.isNull() || key.isNull())
        return fail(QStringLiteral("unreadable certificate or key"));
    server.sslSetup(certificate, key);

    const quint16 bound = server.listen(QHostAddress::LocalHost, quint16(port));
    if (bound == 0)
        return fail(QStringLiteral("cannot listen on 127.0.0.1:%1").arg(port));
    CloudServer::printLine("LISTENING https://127.0.0.1:" + QByteArray::number(bound));

    Console console(server);
    QObject::connect(&console, &Console::quitRequested, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    return app.exec();
}
