#include "console.h"

#include <unistd.h>

#include <QRegularExpression>
#include <QSocketNotifier>
#include <QStringList>

#include "server.h"

Console::Console(CloudServer &server, QObject *parent)
    : QObject(parent)
    , m_server(server)
    , m_notifier(std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read))
{
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &Console::readInput);
}

Console::~Console() = default;

void Console::readInput()
{
    char buffer[4096];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
        m_notifier->setEnabled(false);
        return;
    }
    m_buffer.append(buffer, n);
    qsizetype end;
    while ((end = m_buffer.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(m_buffer.left(end)).trimmed();
        m_buffer.remove(0, end + 1);
        if (!line.isEmpty())
            run(line);
    }
}

void Console::run(const QString &line)
{
    static const QRegularExpression space(QStringLiteral("\\s+"));
    const QStringList words = line.split(space);
    const QString &command = words.first();
    if (command == QLatin1String("quit") && words.size() == 1) {
        CloudServer::printLine("OK");
        emit quitRequested();
    } else if (command == QLatin1String("clear") && words.size() == 1) {
        m_server.clearFailures();
        CloudServer::printLine("OK");
    } else if (command == QLatin1String("fail") && words.size() == 3) {
        const std::optional<FailureMode> mode = FailureMode::parse(words[2]);
        if (!mode) {
            CloudServer::printLine("ERROR unknown mode " + words[2].toUtf8());
            return;
        }
        m_server.setFailure(words[1], *mode);
        CloudServer::printLine("OK");
    } else if (command == QLatin1String("fax") && words.size() == 3) {
        static const QHash<QString, CloudService::FaxOutcome> outcomes {
            {QStringLiteral("normal"), CloudService::FaxOutcome::Normal},
            {QStringLiteral("fail"), CloudService::FaxOutcome::Fail},
            {QStringLiteral("stall"), CloudService::FaxOutcome::Stall},
        };
        if (!outcomes.contains(words[2])) {
            CloudServer::printLine("ERROR unknown fax outcome " + words[2].toUtf8());
            return;
        }
        m_server.service().setFaxOutcome(words[1], outcomes.value(words[2]));
        CloudServer::printLine("OK");
    } else {
        CloudServer::printLine("ERROR unknown command: " + line.toUtf8());
    }
}
