#include "key_file.h"

#include "commands/card_write.h"
#include "platform/secret_file.h"

#include <QFile>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
constexpr qint64 kLongestFile = 4096; // sixteen keys and then some
constexpr qsizetype kKeyDigits = 12;
} // namespace

bool isKeyFileKey(const QString &text)
{
    if (text.size() != kKeyDigits)
        return false;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (!((u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F')))
            return false;
    }
    return true;
}

QString keyFileKey(const QString &answered)
{
    if (isKeyFileKey(answered))
        return answered;
    return QString::fromLatin1(normalizedKey(answered).toHex().toUpper());
}

bool writeKeyFile(const QString &path, const KeyList &keys, QString *error)
{
    return writeSecretFile(path, keyFileText(keys), error);
}

std::optional<KeyList> readKeyFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return std::nullopt;
    }
    return parseKeyFile(file.read(kLongestFile + 1), error);
}

QByteArray keyFileText(const KeyList &keys)
{
    QByteArray text;
    for (const QString &key : keys)
        text += key.toLatin1() + '\n';
    return text;
}

std::optional<KeyList> parseKeyFile(const QByteArray &bytes, QString *error)
{
    if (bytes.size() > kLongestFile) {
        *error = u"too long for a key file"_s;
        return std::nullopt;
    }
    QStringList lines = QString::fromLatin1(bytes).split(u'\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    // A key is taken as it stands or not at all: one digit too many or too few is a key typed
    // wrong, and cutting or padding it would send the terminal another key than the file says.
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString &key = lines[i];
        if (key.endsWith(u'\r'))
            key.chop(1);
        if (!isKeyFileKey(key)) {
            *error = u"line %1: not 12 hexadecimal digits"_s.arg(i + 1);
            return std::nullopt;
        }
    }
    if (lines.size() != 16) {
        *error = u"%1 lines instead of 16 keys"_s.arg(lines.size());
        return std::nullopt;
    }
    KeyList keys;
    std::copy(lines.cbegin(), lines.cend(), keys.begin());
    return keys;
}
