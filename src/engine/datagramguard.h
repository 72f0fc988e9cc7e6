#pragma once

#include <QByteArray>
#include <QStringList>

// The SIP stack parses a UDP datagram as a piece of a stream: a datagram that ends inside its
// header block, or before the body its Content-Length announces, leaves the stack's channel to
// the sender's address waiting for "the rest", and every later datagram from that address is
// taken as that rest (the address goes unheard). On UDP a datagram is a whole message, so the
// engine looks at the datagram waiting on a SIP socket before the stack reads it and discards it
// when the stack would not see it whole.
namespace DatagramGuard {

// The stack reads at most this much of one datagram.
constexpr int StackReadSize = 65534;

// True when the stack, reading this datagram on its own, would wait for more bytes: a message
// start without the end of its header block, or a body shorter than its Content-Length (also for
// a second message in the same datagram).
bool isIncomplete(const QByteArray &datagram);

// Discards the incomplete datagrams at the head of the queue of UDP socket fd, without blocking;
// the senders ("address:port") of those discarded. `scratch` is a reusable buffer.
QStringList dropIncomplete(int fd, QByteArray &scratch);

} // namespace DatagramGuard
