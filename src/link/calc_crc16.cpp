#include "calc_crc16.h"

#include <array>

namespace {

constexpr std::array<quint16, 256> makeCrcTable()
{
    std::array<quint16, 256> table {};
    for (int n = 0; n < 256; ++n) {
        quint16 reg = quint16(n << 8);
        for (int bit = 0; bit < 8; ++bit)
            reg = (reg & 0x8000) ? quint16((reg << 1) ^ 0x1021) : quint16(reg << 1);
        table[n] = reg;
    }
    return table;
}

constexpr std::array<quint16, 256> kCrcTable = makeCrcTable();
static_assert(kCrcTable[1] == 0x1021 && kCrcTable[2] == 0x2042);
static_assert(kCrcTable[128] == 0x9188 && kCrcTable[255] == 0x1EF0);

QString lastDigits(const QString &padding, quint32 value, int keep)
{
    return (padding + QString::number(value, 16).toUpper()).right(keep);
}

int hexDigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

bool isDroppedBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}

} // namespace

QString HexNibble(quint8 value)
{
    return lastDigits(QStringLiteral("00"), value, 1);
}

QString HexByte(quint8 value)
{
    return lastDigits(QStringLiteral("00"), value, 2);
}

// A negative Long is written as its 32-bit two's complement: eight digits.
QString HexLong12(qint32 value)
{
    return lastDigits(QStringLiteral("000000000000"), quint32(value), 12);
}

QString HexLong8(qint32 value)
{
    return lastDigits(QStringLiteral("000000000000"), quint32(value), 8);
}

QByteArray LongToChr(qint32 value)
{
    return HexToBin(HexLong12(value)).right(1);
}

quint8 hexPairValue(QStringView pair)
{
    int value = 0;
    for (QChar c : pair) {
        if (isDroppedBlank(c))
            continue;
        const int digit = hexDigitValue(c);
        if (digit < 0)
            break;
        value = value * 16 + digit;
    }
    return quint8(value);
}

QByteArray HexToBin(const QString &hexText)
{
    QByteArray result;
    result.reserve((hexText.size() + 1) / 2);
    for (qsizetype p = 0; p < hexText.size(); p += 2)
        result.append(char(hexPairValue(QStringView(hexText).mid(p, 2))));
    return result;
}

quint16 crc16Register(const QByteArray &bytes)
{
    quint16 reg = 0;
    for (char b : bytes)
        reg = quint16((reg << 8) ^ kCrcTable[((reg >> 8) ^ quint8(b)) & 0xFF]);
    return reg;
}

// The field never carries a frame marker: 0x02 is sent as 0x82 and 0x03 as 0x83. Both
// directions build their fields this way, so the comparison still holds.
QByteArray GetCRC16(const QByteArray &bytes)
{
    const quint16 reg = crc16Register(bytes);
    QByteArray field;
    field.append(char(reg >> 8));
    field.append(char(reg & 0xFF));
    for (char &b : field) {
        if (b == 0x02)
            b = char(0x82);
        else if (b == 0x03)
            b = char(0x83);
    }
    return field;
}
