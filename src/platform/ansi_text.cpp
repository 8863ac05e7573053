#include "ansi_text.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {
constexpr char kCodec[] = "windows-1252";
}

QString fromAnsi(const QByteArray &bytes)
{
    QStringDecoder decoder(kCodec);
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

QByteArray toAnsi(const QString &text)
{
    QStringEncoder encoder(kCodec);
    if (!encoder.isValid())
        return text.toLatin1();
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
