// Files that hold secrets (sector keys): readable and writable by their owner alone. On Unix
// that is mode 0600; on Windows an access list of one entry, the current user, that inherits
// nothing from the folder.
#pragma once

#include <QString>

// Narrows an existing file to its owner; false with `error` set when the system refuses.
bool restrictToOwner(const QString &path, QString *error);

// Whether anyone but the owner may read or change the file (an access list that names others
// or inherits from the folder, on Windows); false for a file that cannot be examined.
bool othersMayAccess(const QString &path);
