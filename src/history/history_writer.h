// Appends records to the history in a thread of its own, in the order given, so that neither
// the history's lock nor a slow disk ever holds up the caller: while another program holds the
// lock, records queue and go out at a later try. What is still queued when the writer goes is
// waited for, briefly, at the end.
#pragma once

#include "history/history_file.h"

#include <QObject>
#include <QThread>

class HistoryAppender;

class HistoryWriter : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kRetry { 25 };
    // At the end of the program: longer than any append takes, and longer than a lock may be
    // held before it counts as stale and is taken over (HistoryFile::kStaleLock).
    static constexpr std::chrono::milliseconds kLastWait { 15000 };

    explicit HistoryWriter(const QString &path, QObject *parent = nullptr);
    ~HistoryWriter() override;

    // Returns at once; the record goes out in the writer's thread.
    void append(const HistoryRecord &record);
    // Waits until what is queued is written or dropped, the lock waited for at most `wait`; true
    // when nothing is left queued. What it came to is signalled before it returns.
    bool flush(std::chrono::milliseconds wait);
    QString path() const { return m_path; }

signals:
    // Records went into the history, but the system could not say they are on the disk.
    void notConfirmed(const QString &error);
    // The history cannot be written, or was locked past the last wait; the records queued are
    // dropped.
    void failed(const QString &error);
    // The writer is done with the next `records` appended, the oldest first, however it went.
    void done(int records);

private:
    QString m_path;
    QThread m_thread;
    HistoryAppender *m_appender = nullptr; // lives in m_thread
};
