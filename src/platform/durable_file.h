// Data written to a file is on the disk only once the system has been told to put it there:
// until then a power cut or a crash of the system may lose it, though every reader sees it. The
// same holds for a folder's entries: a file just created or renamed may be lost with them.
#pragma once

#include <QString>

#include <functional>

class QFileDevice;

// Flushes what was written to `file` (open) through to the disk; false with `error` saying
// why when the system could not.
bool syncToDisk(QFileDevice &file, QString *error);

// Puts `folder`'s entries on the disk, after a file in it was created or renamed; false with
// `error` saying why. Where the system has no such call (Windows), the file's own flush is all
// there is, and this is true.
bool syncFolderToDisk(const QString &folder, QString *error);

// Tests stand in front of the system's calls above to see them, to slow them down or to make
// them fail: the hook gets the path about to be synced and returns 0 to go on, or the error
// number to fail with. Called on whatever thread syncs.
using SyncHook = std::function<int(const QString &path)>;
void setSyncHookForTests(SyncHook hook);
