// Command frames (program to terminal) and the byte-level escaping shared with answers.
#pragma once

#include <QByteArray>
#include <QString>

namespace Frame {
inline constexpr char kStart = 0x02;
inline constexpr char kEnd = 0x03;
inline constexpr char kEscape = char(0x80);
inline constexpr char kCommandHeader = char(0x81);
inline constexpr char kAnswerHeader = 0x1B;

// Length field plus identifier: L = data length + 7 for a command.
inline constexpr int kCommandLengthOverhead = 7;
} // namespace Frame

// The terminal identifier every command carries, as hex text.
QString GetTermID();

// 0x80 first, so that the escape bytes added for 0x02 and 0x03 stay single.
QByteArray escapeData(const QByteArray &data);

// 0x80 followed by 0x80, 0x82 or 0x83: one escaped byte.
inline bool isEscapePair(char first, char second)
{
    const quint8 s = quint8(second);
    return first == Frame::kEscape && (s == 0x80 || s == 0x82 || s == 0x83);
}

// 0x80 followed by 0x80, 0x82 or 0x83 becomes 0x80, 0x02 or 0x03; a 0x80 followed by any
// other byte stays as it is.
QByteArray unescapeBytes(const QByteArray &bytes);

// The whole frame as SendCommand writes it: start marker, code, 0x81, length field (data
// length before escaping + 7, low byte first), HexToBin of the identifier, the escaped data,
// the check field over everything after the start marker as sent, end marker. Only the data is
// escaped; the header goes out raw. Returns an empty array when the checked part would exceed
// kMaxCheckedBytes.
QByteArray buildCommandFrame(quint8 function, const QString &termIdHex, const QByteArray &data);
