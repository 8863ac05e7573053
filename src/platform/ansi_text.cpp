#include "ansi_text.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <array>

namespace {
constexpr char kCodec[] = "windows-1252";

// Bytes 0x80 to 0x9F, the only ones in which Windows-1252 departs from Latin-1. The five bytes
// it leaves undefined keep their Latin-1 control characters, as Qt's converter does.
constexpr std::array<char16_t, 32> kHighControls {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};
} // namespace

QString fromAnsiByTable(const QByteArray &bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = quint8(bytes[i]);
        text[i] = (byte >= 0x80 && byte < 0xA0) ? QChar(kHighControls[byte - 0x80])
                                                : QChar(char16_t(byte));
    }
    return text;
}

QByteArray toAnsiByTable(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            bytes.append(char(u));
            continue;
        }
        const auto *at = std::find(kHighControls.begin(), kHighControls.end(), u);
        bytes.append(at != kHighControls.end() ? char(0x80 + (at - kHighControls.begin())) : '?');
        if (text[i].isHighSurrogate() && i + 1 < text.size())
            ++i; // one "?" for the pair
    }
    return bytes;
}

QString fromAnsi(const QByteArray &bytes)
{
    QStringDecoder decoder(kCodec);
    if (!decoder.isValid())
        return fromAnsiByTable(bytes);
    return decoder.decode(bytes);
}

QByteArray toAnsi(const QString &text)
{
    QStringEncoder encoder(kCodec);
    if (!encoder.isValid())
        return toAnsiByTable(text);
    QByteArray bytes;
    bytes.reserve(text.size());
    // Character by character, so that one that cannot be encoded is replaced by "?" instead
    // of the encoder's substitute byte, and the rest keeps its own bytes.
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype width = (text[i].isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        const QByteArray one = encoder.encode(QStringView(text).mid(i, width));
        if (encoder.hasError() || one.size() != 1) {
            bytes.append('?');
            encoder = QStringEncoder(kCodec); // the error flag stays set otherwise
        } else {
            bytes.append(one);
        }
        i += width - 1;
    }
    return bytes;
}
