// Files that hold keys (a key file, a profile with the old key): written whole or not at all,
// and readable by their owner only. On Unix that is mode 0600 from the first byte on; on Windows
// an access list naming the current user alone, which inherits nothing from the folder.
#pragma once

#include <QByteArray>
#include <QString>

// False with `error` set when the file cannot be written; an older file stays as it was then.
bool writeSecretFile(const QString &path, const QByteArray &bytes, QString *error);

// Whether anyone but the owner may read the file: permission bits for the group or others on
// Unix; on Windows an access list that names others or takes the folder's. False for a file
// that cannot be examined.
bool readableByOthers(const QString &path);
