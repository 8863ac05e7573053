// The window's operations on record: each from its start to its end, with every status line it
// put up, goes to the history when it ends; each port the finder asked is a record of its own.
#pragma once

#include "history/history_writer.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>

#include <optional>

struct PortOutcome;

class OperationRecorder : public QObject
{
    Q_OBJECT

public:
    explicit OperationRecorder(const QString &historyPath, QObject *parent = nullptr);
    ~OperationRecorder() override;

    // An operation starts on the port typed as `port`. False, and nothing starts, while one is
    // under way.
    bool begin(QLatin1String operation, const QString &port, const QJsonObject &card = {});
    // A status line, part of the operation under way if there is one.
    void statusLine(const QString &text);
    // The operation under way ended with `result` on `device`, the port as opened ("" when it
    // did not open).
    void end(quint8 result, const QString &device);
    // A port the port finder asked for its firmware version. What it answered is remembered
    // as the firmware of later operations on that port.
    void recordOutcome(const PortOutcome &outcome);

    QString path() const { return m_writer.path(); }

signals:
    // A record is in the history now, or failed to go: in the order the operations ended.
    void recorded(const HistoryRecord &record);
    // The history cannot be written, or was locked past the last wait: the records waiting to
    // go out are lost.
    void historyFailed(const QString &error);
    // Records went into the history, but the system could not say they are on the disk.
    void historyNotConfirmed(const QString &error);

private:
    void write(HistoryRecord record);

    HistoryWriter m_writer;
    QList<HistoryRecord> m_writing; // given to the writer, oldest first
    std::optional<HistoryRecord> m_current;
    QElapsedTimer m_clock;
    QHash<QString, QString> m_firmware; // by port as typed and as opened
};
