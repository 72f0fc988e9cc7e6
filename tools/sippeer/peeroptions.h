#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

// What the command line asks the peer to do (see README.md). Times are in milliseconds unless
// named otherwise; -1 means "never".
struct PeerOptions
{
    // network and identity
    int port = 5060;
    QString bindAddress = QStringLiteral("127.0.0.1");
    bool ipv6 = false;
    QString transport = QStringLiteral("udp");
    QString registrar; // host:port; empty: no registration
    QString user = QStringLiteral("peer");
    QString password;
    QString domain;
    int expires = 600;
    QString dataDir;

    // calls
    QString callUri;
    int callDelay = 0;
    QStringList headers; // "Name: value" added to outgoing INVITEs
    QStringList printHeaders; // incoming INVITE headers to report
    int autoAnswer = -1;
    int declineCode = 0;
    int declineAfter = 0;
    bool noRinging = false;
    int maxCalls = 32;
    int lossPercent = 0; // share of the arriving RTP packets the peer drops
    QString playFile;
    QString recordFile;
    QString dtmf;
    int dtmfDelay = 500;
    bool dtmfInfo = false;
    int holdAfter = -1;
    int resumeAfter = -1;
    QString transferTo;
    int transferAfter = 500;
    bool refuseTransfer = false; // decline calls that would replace one of ours (603)
    int hangupAfter = -1;

    // messages and presence
    QString messageTo;
    QString messageText = QStringLiteral("hello");
    QString presence; // online | busy | offline
    QString presenceNote; // the presence text watchers show
    QStringList subscribeTo; // presence of these URIs

    // process
    int exitAfterSeconds = -1;
    bool ignoreStdin = false;
    bool verbose = false;

    // Parses the application's arguments; on error prints to stderr and returns false.
    bool parse(const QCoreApplication &app, QString *error);
};
