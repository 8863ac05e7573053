#include "durable_file.h"

#include <QDir>
#include <QFile>

#include <cerrno>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {
SyncHook &hook()
{
    static SyncHook theHook;
    return theHook;
}

// The test's hook first, if any: 0 goes on to the system's call.
int hooked(const QString &path)
{
    return hook() ? hook()(path) : 0;
}
} // namespace

void setSyncHookForTests(SyncHook syncHook)
{
    hook() = std::move(syncHook);
}

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
    if (const int failure = hooked(file.fileName())) {
        *error = qt_error_string(failure);
        return false;
    }
#ifdef Q_OS_WIN
    // _get_osfhandle says why it fails in errno; FlushFileBuffers in the last Windows error.
    errno = 0;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    if (handle == INVALID_HANDLE_VALUE) {
        *error = u"cannot flush it to the disk: %1"_s.arg(qt_error_string(errno));
        return false;
    }
    if (!FlushFileBuffers(handle)) {
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

bool syncFolderToDisk(const QString &folder, QString *error)
{
    if (const int failure = hooked(folder)) {
        *error = qt_error_string(failure);
        return false;
    }
#ifdef Q_OS_WIN
    Q_UNUSED(error);
    return true;
#else
    const int descriptor = ::open(QFile::encodeName(QDir::toNativeSeparators(folder)).constData(),
                                  O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) {
        *error = qt_error_string(errno);
        return false;
    }
    const bool synced = ::fsync(descriptor) == 0;
    const int why = errno;
    ::close(descriptor);
    if (!synced)
        *error = qt_error_string(why);
    return synced;
#endif
}
