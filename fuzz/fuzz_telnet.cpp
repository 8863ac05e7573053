// Arbitrary bytes from a serial device server through the Telnet/RFC 2217 receive path:
// commands, options, subnegotiations and data mixed, cut anywhere. Any crash, leak, hang or
// undefined behaviour is a finding; the invariants below are checked as well.
#include "platform/telnet_codec.h"
#include "require.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    TelnetCodec whole { LineSettings() };
    whole.start();
    QByteArray wholeData;
    const QByteArray wholeReply = whole.feed(bytes, &wholeData);

    // Where the stream is cut must not matter; the cuts come from the bytes themselves.
    TelnetCodec pieces { LineSettings() };
    pieces.start();
    QByteArray piecesData;
    QByteArray piecesReply;
    for (qsizetype at = 0; at < bytes.size();) {
        const qsizetype length = 1 + quint8(bytes[at]) % 7;
        piecesReply += pieces.feed(bytes.mid(at, length), &piecesData);
        at += length;
    }
    require(piecesData == wholeData);
    require(piecesReply == wholeReply);
    require(pieces.comPort() == whole.comPort());
    require(wholeData.size() <= bytes.size());
    // Every reply answers something received: a few commands per byte at most, never a loop.
    require(wholeReply.size() <= 32 * bytes.size());

    // Whatever the program sends arrives unchanged at a peer that reads it the same way.
    TelnetCodec sender { LineSettings() };
    TelnetCodec receiver { LineSettings() };
    sender.start();
    receiver.start();
    QByteArray received;
    require(receiver.feed(sender.encode(bytes), &received).isEmpty());
    require(received == bytes);
    return 0;
}
