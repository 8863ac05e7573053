// Files that hold keys (a key file, a profile with the old key): written whole or not at all,
// and readable by their owner only from the first byte on.
#pragma once

#include <QByteArray>
#include <QString>

// False with `error` set when the file cannot be written; an older file stays as it was then.
bool writeSecretFile(const QString &path, const QByteArray &bytes, QString *error);

// Whether users other than the owner may read the file. Only where files carry such permission
// bits; false elsewhere.
bool readableByOthers(const QString &path);
