#include "frame.h"

#include "calc_crc16.h"

QString GetTermID()
{
    return QStringLiteral("999999");
}

QByteArray escapeData(const QByteArray &data)
{
    QByteArray escaped = data;
    escaped.replace(QByteArray(1, Frame::kEscape), QByteArray(2, Frame::kEscape));
    escaped.replace(QByteArray(1, Frame::kStart), QByteArrayLiteral("\x80\x82"));
    escaped.replace(QByteArray(1, Frame::kEnd), QByteArrayLiteral("\x80\x83"));
    return escaped;
}

QByteArray unescapeBytes(const QByteArray &bytes)
{
    QByteArray out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (i + 1 < bytes.size() && isEscapePair(bytes[i], bytes[i + 1])) {
            const quint8 next = quint8(bytes[++i]);
            out.append(char(next == 0x80 ? 0x80 : next - 0x80));
        } else {
            out.append(bytes[i]);
        }
    }
    return out;
}

QByteArray buildCommandFrame(quint8 function, const QString &termIdHex, const QByteArray &data)
{
    const int length = int(data.size()) + Frame::kCommandLengthOverhead;
    QByteArray body;
    body.append(char(function));
    body.append(Frame::kCommandHeader);
    body.append(char(length & 0xFF));
    body.append(char((length >> 8) & 0xFF));
    body.append(HexToBin(termIdHex));
    body.append(escapeData(data));
    if (body.size() > kMaxCheckedBytes)
        return {};

    QByteArray frame;
    frame.reserve(body.size() + 4);
    frame.append(Frame::kStart);
    frame.append(body);
    frame.append(GetCRC16(body));
    frame.append(Frame::kEnd);
    return frame;
}
