#include "secret_file.h"

#include <QFileInfo>
#include <QSaveFile>

bool writeSecretFile(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    // Narrowed before anything is written: the new file that replaces `path` is never readable
    // by others, whatever the older one allowed.
    if (!file.open(QIODevice::WriteOnly)
        || !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    file.write(bytes);
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

bool readableByOthers(const QString &path)
{
#ifdef Q_OS_UNIX
    return QFileInfo(path).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther);
#else
    Q_UNUSED(path);
    return false;
#endif
}
