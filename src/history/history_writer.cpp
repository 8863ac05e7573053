#include "history_writer.h"

#include <QCoreApplication>
#include <QTimer>

// The writer's thread: the queue, the file, and the retries while another program holds the
// lock.
class HistoryAppender : public QObject
{
    Q_OBJECT

public:
    explicit HistoryAppender(const QString &path)
        : m_file(path)
    {
        m_retry.setSingleShot(true);
        m_retry.setInterval(HistoryWriter::kRetry);
        connect(&m_retry, &QTimer::timeout, this, [this] { flush(std::chrono::milliseconds(0)); });
    }

    void append(const HistoryRecord &record)
    {
        m_queue << record;
        if (!m_retry.isActive())
            flush(std::chrono::milliseconds(0));
    }

    // True when nothing is left queued.
    bool flush(std::chrono::milliseconds wait)
    {
        m_retry.stop();
        if (m_queue.isEmpty())
            return true;
        QString error;
        // Once written, taken off the queue whatever the disk says: a record goes out once.
        switch (m_file.append(m_queue, wait, &error)) {
        case HistoryFile::Appended::Yes:
            break;
        case HistoryFile::Appended::Unconfirmed:
            emit notConfirmed(error);
            break;
        case HistoryFile::Appended::Busy:
            m_retry.start();
            return false;
        case HistoryFile::Appended::Failed:
            emit failed(error);
            break;
        }
        emit done(int(m_queue.size()));
        m_queue.clear();
        return true;
    }

signals:
    void notConfirmed(const QString &error);
    void failed(const QString &error);
    void done(int records);

private:
    HistoryFile m_file;
    QList<HistoryRecord> m_queue;
    QTimer m_retry { this };
};

HistoryWriter::HistoryWriter(const QString &path, QObject *parent)
    : QObject(parent)
    , m_path(path)
    , m_appender(new HistoryAppender(path))
{
    m_thread.setObjectName(QStringLiteral("history writer"));
    m_appender->moveToThread(&m_thread);
    connect(m_appender, &HistoryAppender::notConfirmed, this, &HistoryWriter::notConfirmed);
    connect(m_appender, &HistoryAppender::failed, this, &HistoryWriter::failed);
    connect(m_appender, &HistoryAppender::done, this, &HistoryWriter::done);
    m_thread.start();
}

HistoryWriter::~HistoryWriter()
{
    if (!flush(kLastWait))
        emit failed(QStringLiteral("another program holds its lock"));
    m_thread.quit();
    m_thread.wait();
    delete m_appender;
}

void HistoryWriter::append(const HistoryRecord &record)
{
    QMetaObject::invokeMethod(
        m_appender, [appender = m_appender, record] { appender->append(record); },
        Qt::QueuedConnection);
}

bool HistoryWriter::flush(std::chrono::milliseconds wait)
{
    bool flushed = false;
    QMetaObject::invokeMethod(
        m_appender, [this, wait, &flushed] { flushed = m_appender->flush(wait); },
        Qt::BlockingQueuedConnection);
    // What the appender said meanwhile is on its way here: said now, before this returns.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    return flushed;
}

#include "history_writer.moc"
