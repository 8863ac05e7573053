// The history file: one record a line (JSON Lines), appended by every porteval program of the
// user, under a lock file so that many at once never tear or lose a line. Past a size it rolls
// over to one older file. Reading skips what is not a record and says so.
#pragma once

#include "history/history_record.h"

#include <QList>
#include <QStringList>

#include <chrono>

// PORTEVAL_HISTORY when set, else history.jsonl in the user's data folder for porteval. Each
// program asks once, at its start, and hands the path to what keeps or shows the history.
QString historyFilePath();

class HistoryFile
{
public:
    static constexpr qint64 kRolloverBytes = 10 * 1024 * 1024;
    // An append holds the lock for a millisecond or so; one held longer is a program stopped
    // or killed while holding it, and is taken over.
    static constexpr std::chrono::seconds kStaleLock { 5 };

    explicit HistoryFile(const QString &path, qint64 rolloverBytes = kRolloverBytes);

    QString path() const { return m_path; }
    // Where the file goes when it rolls over, replacing the one before.
    QString olderPath() const { return m_path + QLatin1String(".1"); }

    // Yes: written and on the disk. Unconfirmed: written, but the system could not say that the
    // lines (or the file's entry in its folder) are on the disk. Busy: another program holds the
    // lock; nothing written. Failed: the folder or the file cannot be written; nothing written.
    enum class Appended { Yes, Unconfirmed, Busy, Failed };
    // Appends the records, a line each, in one write, and returns once they are on the disk,
    // the folder's entry too when the file is new or just rolled over. Waits at most `wait` for
    // the lock (zero: one try). `error` says why when not Yes.
    Appended append(const QList<HistoryRecord> &records, std::chrono::milliseconds wait,
                    QString *error) const;

    struct Contents
    {
        QList<HistoryRecord> records; // the older file's first, each file's in its order
        QStringList notes; // a line each for what was skipped
        int skippedLines = 0;
    };
    // Takes no lock: a writer writes each batch of lines at once, so what is read is whole
    // lines, but for one a writer was killed in the middle of, which is skipped.
    Contents read() const;

private:
    void readInto(const QString &path, Contents &contents) const;

    QString m_path;
    qint64 m_rolloverBytes;
};
