#pragma once

#include <memory>

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QRegularExpressionMatch>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

namespace testbed {

// One scripted SIP peer (build/bin/sippeer, see tools/sippeer/README.md) as a child process. Its
// "EVENT ..." lines are collected in order; waitForEvent() finds the first line not yet returned by
// an earlier wait, so repeated events (two calls ending) are waited for one by one and a wait may
// pick up a line that arrived before it was called. Stopped by pid in the destructor.
class SipPeer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SipPeer)

public:
    explicit SipPeer(QObject *parent = nullptr);
    ~SipPeer() override;

    // Starts sippeer with the arguments and waits for its "EVENT ready ..." line. When args has
    // no --data-dir, a temporary one is used; no --port means a free port from freePort().
    bool start(const QStringList &args, int timeoutMs = 10000);
    // Asks the peer to quit (stdin "quit"), waits, then kills it.
    void stop(int timeoutMs = 3000);
    qint64 pid() const;

    // Sends one command line on the peer's stdin (e.g. "call sip:1002@127.0.0.1:5080").
    void command(const QString &line);

    // Waits up to timeoutMs for an EVENT line matching the regular expression (searched with
    // QRegularExpression::match over the whole line). Returns the match; hasMatch() is false
    // after a timeout. The event loop keeps running meanwhile.
    QRegularExpressionMatch waitForEvent(const QString &pattern, int timeoutMs = 10000);
    // True when an already received EVENT line matches (does not mark it as returned).
    bool hasEvent(const QString &pattern) const;

    QStringList events() const { return m_events; }

    // All output: stdout (events and other lines) and stderr (library log).
    QString output() const;

    // The value of key in an EVENT line, unquoted ("EVENT call id=1 from=\"a b\"" -> "a b" for
    // "from"); a null QString when the key is absent.
    static QString value(const QString &eventLine, const QString &key);

    quint16 sipPort() const { return m_port; }

private:
    void readOutput();

    std::unique_ptr<QProcess> m_process;
    std::unique_ptr<QTemporaryDir> m_dir;
    QStringList m_events;
    QVector<bool> m_taken;
    QByteArray m_pending;
    QByteArray m_stdout;
    QByteArray m_stderr;
    quint16 m_port = 0;
};

} // namespace testbed
