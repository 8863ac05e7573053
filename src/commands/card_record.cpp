#include "card_record.h"

#include "link/calc_crc16.h"

namespace {
quint8 byteSum(const QByteArray &bytes)
{
    quint8 sum = 0;
    for (char b : bytes)
        sum = quint8(sum + quint8(b));
    return sum;
}
} // namespace

QString CalcCheckDigit(const QString &decimalText)
{
    int sum = 0; // kept below 10 as we go, so that no length of text can overflow it
    for (QChar c : decimalText) {
        if (c >= u'0' && c <= u'9')
            sum = (sum + (c.unicode() - u'0')) % 10;
    }
    return QString::number((10 - sum) % 10);
}

QString CalcHexChecksum(const QString &hexText)
{
    return HexByte(byteSum(HexToBin(hexText)));
}

QByteArray CalcCRCBin(const QByteArray &bytes)
{
    return QByteArray(1, char(byteSum(bytes)));
}

QByteArray BuildCardRecord(const QString &sDec, const QString &sHex, const QByteArray &sBin)
{
    QByteArray record = HexToBin(sDec + CalcCheckDigit(sDec));
    record += HexToBin(sHex + CalcHexChecksum(sHex));
    record += sBin;
    record += CalcCRCBin(sBin);
    return record;
}

QString GetIssuerID()
{
    return QStringLiteral("001001");
}
