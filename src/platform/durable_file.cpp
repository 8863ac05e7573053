#include "durable_file.h"

#include <QFileDevice>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>

#include <cerrno>
#endif

using namespace Qt::StringLiterals;

bool syncToDisk(QFileDevice &file, QString *error)
{
    if (!file.flush()) {
        *error = file.errorString();
        return false;
    }
    const int descriptor = file.handle();
    if (descriptor < 0) {
        *error = u"the file is not open"_s;
        return false;
    }
#ifdef Q_OS_WIN
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    if (handle == INVALID_HANDLE_VALUE || !FlushFileBuffers(handle)) {
        // Not qt_error_string(): it reads the small Windows codes as errno values.
        *error = u"cannot flush it to the disk (Windows error %1)"_s.arg(GetLastError());
        return false;
    }
#else
    // On Linux the data and the size only, which is all a reader needs, not the times of access.
#if defined(Q_OS_LINUX)
    const int synced = ::fdatasync(descriptor);
#else
    const int synced = ::fsync(descriptor);
#endif
    if (synced != 0) {
        *error = qt_error_string(errno);
        return false;
    }
#endif
    return true;
}
