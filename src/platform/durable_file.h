// Data written to a file is on the disk only once the system has been told to put it there:
// until then a power cut or a crash of the system may lose it, though every reader sees it.
#pragma once

#include <QString>

class QFileDevice;

// Flushes what was written to `file` (open) through to the disk; false with `error` saying
// why when the system could not.
bool syncToDisk(QFileDevice &file, QString *error);
