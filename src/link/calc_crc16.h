// Conversions between numbers, hexadecimal text and binary strings, and the CRC-16 check
// field that closes every frame. Hex text is produced in capitals and read in either case;
// a binary string is a QByteArray holding one byte per character.
#pragma once

#include <QByteArray>
#include <QString>

// The check field covers at most this many bytes: the terminal counts positions in a signed
// 16-bit integer that must also hold the position after the last byte. The frame code keeps
// within it (SendCommand refuses longer frames, ParseAnswer drops them); the routines below
// simply work on any length.
inline constexpr int kMaxCheckedBytes = 32766;

QString HexNibble(quint8 value);
QString HexByte(quint8 value);
QString HexLong12(qint32 value);
QString HexLong8(qint32 value);
QByteArray LongToChr(qint32 value);
QByteArray HexToBin(const QString &hexText);
QByteArray GetCRC16(const QByteArray &bytes);

// The value of one pair of hex text as HexToBin reads it: blanks, tabs and line feeds
// dropped, then hex digits from the left up to the first other character (none gives 0).
quint8 hexPairValue(QStringView pair);

// The plain CRC-16/XMODEM register of `bytes`, before the marker substitution of GetCRC16.
quint16 crc16Register(const QByteArray &bytes);
