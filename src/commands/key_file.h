// Key files: the sixteen keys a key card query read, one per line in sector order, as
// porteval-cli read-keys -o writes them and the card commands' --keys reads them. They are
// secrets, so the file is readable by its owner only.
#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

using KeyList = std::array<QString, 16>;

// Whether `text` is a key as a key file holds it: exactly 12 hexadecimal digits, either case.
bool isKeyFileKey(const QString &text);
// A key a terminal answered, as a key file holds it: itself when it is one already, else the 12
// hexadecimal digits of the 6 bytes the card operations send for it (zeros in front, the last
// 12 characters kept), so that the file reads back and writes the cards the window would.
QString keyFileKey(const QString &answered);

// False with `error` set when the file cannot be written. The keys are as a key file holds them
// (isKeyFileKey), so that the file reads back.
bool writeKeyFile(const QString &path, const KeyList &keys, QString *error);

// Nothing, with `error` set, when the file cannot be read or is not sixteen lines of exactly 12
// hexadecimal digits each (a line may end in CR LF); the error names the first line that is not.
std::optional<KeyList> readKeyFile(const QString &path, QString *error);

// What the two above write and read, without the file.
QByteArray keyFileText(const KeyList &keys);
std::optional<KeyList> parseKeyFile(const QByteArray &bytes, QString *error);
