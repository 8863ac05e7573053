#include "operation_recorder.h"

#include "commands/port_jobs.h"

OperationRecorder::OperationRecorder(const QString &historyPath, QObject *parent)
    : QObject(parent)
    , m_writer(historyPath)
{
    connect(&m_writer, &HistoryWriter::failed, this, &OperationRecorder::historyFailed);
    connect(&m_writer, &HistoryWriter::notConfirmed, this, &OperationRecorder::historyNotConfirmed);
    connect(&m_writer, &HistoryWriter::done, this, [this](int records) {
        for (int i = 0; i < records && !m_writing.isEmpty(); ++i)
            emit recorded(m_writing.takeFirst());
    });
}

OperationRecorder::~OperationRecorder()
{
    // What fails at the very end, while the window goes, has no one left to be told.
    m_writer.disconnect(this);
}

bool OperationRecorder::begin(QLatin1String operation, const QString &port, const QJsonObject &card)
{
    if (m_current)
        return false;
    m_current.emplace();
    m_current->time = QDateTime::currentDateTimeUtc();
    m_current->program = kProgramWindow;
    m_current->port = port;
    m_current->operation = operation;
    m_current->card = card;
    m_clock.start();
    return true;
}

void OperationRecorder::statusLine(const QString &text)
{
    if (m_current)
        m_current->lines << text;
}

void OperationRecorder::end(quint8 result, const QString &device)
{
    if (!m_current)
        return;
    HistoryRecord record = std::move(*m_current);
    m_current.reset();
    record.result = result;
    record.text = record.lines.value(record.lines.size() - 1);
    record.ms = m_clock.elapsed();
    record.device = device;
    record.firmware = m_firmware.value(record.port, m_firmware.value(device));
    write(std::move(record));
}

void OperationRecorder::recordOutcome(const PortOutcome &outcome)
{
    HistoryRecord record = recordOfOutcome(outcome, kProgramWindow);
    // A port that no longer answers may have another terminal behind it the next time.
    for (const QString &name : { record.port, record.device }) {
        if (record.firmware.isEmpty())
            m_firmware.remove(name);
        else if (!name.isEmpty())
            m_firmware.insert(name, record.firmware);
    }
    write(std::move(record));
}

void OperationRecorder::write(HistoryRecord record)
{
    m_writer.append(record);
    m_writing << std::move(record);
}
