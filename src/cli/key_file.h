// The key files of the command line: the sixteen keys a key card query read, one per line in
// sector order, as the window's key boxes would hold them. They are secrets, so the file is
// readable by its owner only.
#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

using KeyList = std::array<QString, 16>;

// False with `error` set when the file cannot be written.
bool writeKeyFile(const QString &path, const KeyList &keys, QString *error);

// Nothing, with `error` set, when the file cannot be read or is not sixteen lines of
// hexadecimal digits.
std::optional<KeyList> readKeyFile(const QString &path, QString *error);

// What the two above write and read, without the file.
QByteArray keyFileText(const KeyList &keys);
std::optional<KeyList> parseKeyFile(const QByteArray &bytes, QString *error);
