#include "engine/datagramguard.h"

#include <algorithm>
#include <arpa/inet.h>
#include <limits>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

// The value of the first Content-Length (or compact "l") header of a header block; 0 without one.
qsizetype contentLength(const QByteArray &headers)
{
    const QList<QByteArray> lines = headers.split('\n');
    for (const QByteArray &line : lines) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = line.left(colon).trimmed().toLower();
        if (name != "content-length" && name != "l")
            continue;
        const QByteArray text = line.mid(colon + 1).trimmed();
        bool ok = false;
        const qsizetype value = text.toLongLong(&ok);
        if (!ok) // digits beyond any size announce a body no datagram holds
            return !text.isEmpty()
                    && std::all_of(text.cbegin(), text.cend(), [](char c) { return c >= '0' && c <= '9'; })
                ? std::numeric_limits<qsizetype>::max()
                : 0;
        return qMax(value, qsizetype(0));
    }
    return 0;
}

QString senderText(const sockaddr_storage &address)
{
    char host[INET6_ADDRSTRLEN] = {};
    int port = 0;
    if (address.ss_family == AF_INET) {
        const auto *v4 = reinterpret_cast<const sockaddr_in *>(&address);
        inet_ntop(AF_INET, &v4->sin_addr, host, sizeof host);
        port = ntohs(v4->sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto *v6 = reinterpret_cast<const sockaddr_in6 *>(&address);
        inet_ntop(AF_INET6, &v6->sin6_addr, host, sizeof host);
        port = ntohs(v6->sin6_port);
    }
    return QString::fromLatin1(host) + QLatin1Char(':') + QString::number(port);
}

} // namespace

bool DatagramGuard::isIncomplete(const QByteArray &datagram)
{
    qsizetype pos = 0;
    while (pos < datagram.size()) {
        const QByteArray rest = QByteArray::fromRawData(datagram.constData() + pos, datagram.size() - pos);
        // The stack looks for the end of the header block as in a C string: not past a NUL byte.
        const qsizetype nul = rest.indexOf('\0');
        const qsizetype end = (nul < 0 ? rest : rest.left(nul)).indexOf("\r\n\r\n");
        if (end < 0)
            return rest.contains("SIP/2.0");
        const qsizetype length = contentLength(rest.left(end));
        if (length > rest.size() - end - 4)
            return true;
        pos += end + 4 + length;
    }
    return false;
}

QStringList DatagramGuard::dropIncomplete(int fd, QByteArray &scratch)
{
    QStringList dropped;
    scratch.resize(StackReadSize);
    for (;;) {
        sockaddr_storage sender {};
        socklen_t length = sizeof sender;
        const ssize_t size = ::recvfrom(fd, scratch.data(), size_t(scratch.size()), MSG_PEEK | MSG_DONTWAIT,
            reinterpret_cast<sockaddr *>(&sender), &length);
        if (size < 0 || !isIncomplete(QByteArray::fromRawData(scratch.constData(), qsizetype(size))))
            return dropped;
        char byte = 0;
        ::recv(fd, &byte, 1, MSG_DONTWAIT); // takes the whole datagram off the queue
        dropped.append(senderText(sender));
    }
}
