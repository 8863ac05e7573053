#include "history_file.h"

#include "platform/durable_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

QString historyFilePath()
{
    const QString chosen = qEnvironmentVariable("PORTEVAL_HISTORY");
    if (!chosen.isEmpty())
        return chosen;
    // The data folder ends in the application's name, and the window and porteval-cli are two
    // applications to Qt: both keep their one history in the window's folder.
    const QString own = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return QDir::cleanPath(own + u"/../porteval/history.jsonl"_s);
}

HistoryFile::HistoryFile(const QString &path, qint64 rolloverBytes)
    : m_path(path)
    , m_rolloverBytes(rolloverBytes)
{ }

HistoryFile::Appended HistoryFile::append(const QList<HistoryRecord> &records,
                                          std::chrono::milliseconds wait, QString *error) const
{
    if (records.isEmpty())
        return Appended::Yes;
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder)) {
        *error = u"cannot make the folder %1"_s.arg(QDir::toNativeSeparators(folder));
        return Appended::Failed;
    }
    QLockFile lock(m_path + u".lock"_s);
    lock.setStaleLockTime(kStaleLock);
    if (!lock.tryLock(wait)) {
        if (lock.error() == QLockFile::LockFailedError)
            return Appended::Busy;
        *error = u"cannot make the lock file %1.lock"_s.arg(QDir::toNativeSeparators(m_path));
        return Appended::Failed;
    }
    QByteArray lines;
    for (const HistoryRecord &record : records)
        lines += record.toJsonLine() + '\n';

    const auto mode = QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered;
    QFile file(m_path);
    // A file new in its folder, or the older one renamed into place: the folder's entries must
    // reach the disk too, or a power cut may lose the file whole.
    bool newEntry = !file.exists();
    if (file.open(mode) && file.size() > 0 && file.size() + lines.size() > m_rolloverBytes) {
        file.close();
        QFile::remove(olderPath());
        // Should the rename fail (the older file held open elsewhere), this one grows on.
        newEntry = QFile::rename(m_path, olderPath());
    }
    if (!file.isOpen() && !file.open(mode)) {
        *error = file.errorString();
        return Appended::Failed;
    }
    // A writer killed in the middle of its line left it without an end: ours start afresh.
    char last = '\n';
    if (file.size() > 0 && file.seek(file.size() - 1) && file.getChar(&last) && last != '\n')
        lines.prepend('\n');
    if (file.write(lines) != lines.size()) {
        *error = file.errorString();
        return Appended::Failed;
    }
    // Written whatever the disk says now: never written again. The lock keeps lines whole, not
    // their way to the disk: the others need not wait for our flush.
    lock.unlock();
    if (!syncToDisk(file, error) || (newEntry && !syncFolderToDisk(folder, error)))
        return Appended::Unconfirmed;
    return Appended::Yes;
}

HistoryFile::Contents HistoryFile::read() const
{
    Contents contents;
    readInto(olderPath(), contents);
    readInto(m_path, contents);
    return contents;
}

void HistoryFile::readInto(const QString &path, Contents &contents) const
{
    QFile file(path);
    if (!file.exists())
        return;
    const QString name = QDir::toNativeSeparators(path);
    if (!file.open(QIODevice::ReadOnly)) {
        contents.notes << u"%1: %2"_s.arg(name, file.errorString());
        return;
    }
    // A file grown far beyond the roll-over size (another program's, or by hand) is read from
    // its end only, so that reading it never takes the memory of the machine.
    const qint64 readable = 4 * m_rolloverBytes;
    const bool cut = file.size() > readable;
    if (cut) {
        file.seek(file.size() - readable);
        contents.notes << u"%1: only its last %2 MB read"_s.arg(name).arg(readable >> 20);
    }
    QList<QByteArray> lines = file.read(readable).split('\n');
    if (cut)
        lines.removeFirst(); // the end of a line whose start was not read
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].trimmed().isEmpty())
            continue;
        if (std::optional<HistoryRecord> record = HistoryRecord::fromJsonLine(lines[i])) {
            contents.records << std::move(*record);
        } else {
            ++contents.skippedLines;
            contents.notes << u"%1 line %2: not a record, skipped"_s.arg(name).arg(i + 1);
        }
    }
}
