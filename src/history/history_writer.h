// Appends records to the history without ever waiting for its lock on the caller's thread:
// while another program holds the lock, records queue and go out at a later try. What is still
// queued when the writer goes is waited for, briefly, at the end.
#pragma once

#include "history/history_file.h"

#include <QObject>
#include <QTimer>

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

    void append(const HistoryRecord &record);
    // Writes what is queued, waiting for the lock at most `wait`; true when nothing is left.
    bool flush(std::chrono::milliseconds wait);
    QString path() const { return m_file.path(); }

signals:
    // The history cannot be written, or was locked past the last wait; the records queued are
    // dropped.
    void failed(const QString &error);

private:
    void tryWrite();

    HistoryFile m_file;
    QList<HistoryRecord> m_queue;
    QTimer m_retry;
};
