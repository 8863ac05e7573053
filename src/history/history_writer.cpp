#include "history_writer.h"

HistoryWriter::HistoryWriter(const QString &path, QObject *parent)
    : QObject(parent)
    , m_file(path)
{
    m_retry.setSingleShot(true);
    m_retry.setInterval(kRetry);
    connect(&m_retry, &QTimer::timeout, this, &HistoryWriter::tryWrite);
}

HistoryWriter::~HistoryWriter()
{
    if (!flush(kLastWait) && !m_queue.isEmpty())
        emit failed(QStringLiteral("another program holds its lock"));
}

void HistoryWriter::append(const HistoryRecord &record)
{
    m_queue << record;
    if (!m_retry.isActive())
        tryWrite();
}

void HistoryWriter::tryWrite()
{
    flush(std::chrono::milliseconds(0));
}

bool HistoryWriter::flush(std::chrono::milliseconds wait)
{
    m_retry.stop();
    if (m_queue.isEmpty())
        return true;
    QString error;
    switch (m_file.append(m_queue, wait, &error)) {
    case HistoryFile::Appended::Yes:
        m_queue.clear();
        return true;
    case HistoryFile::Appended::Busy:
        m_retry.start();
        return false;
    case HistoryFile::Appended::Failed:
        m_queue.clear();
        emit failed(error);
        return false;
    }
    return false;
}
