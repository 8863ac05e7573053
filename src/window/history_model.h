// The History dialog's rows: the records the filter lets through, newest first, with the time,
// program, port, operation, result, the status line that says how it ended, duration, firmware
// and what a card was given. The status cell's tip holds every status line of the operation.
#pragma once

#include "history/history_filter.h"

#include <QAbstractTableModel>

#include <vector>

class LanguageTable;

class HistoryModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        Time,
        Program,
        Port,
        Operation,
        Result,
        Status,
        Duration,
        Firmware,
        Card,
        ColumnCount
    };

    explicit HistoryModel(const LanguageTable &languages, QObject *parent = nullptr);

    // Every record, oldest first, as the history file holds them.
    void setRecords(QList<HistoryRecord> records);
    void addRecord(const HistoryRecord &record);
    void setFilter(const HistoryFilter &filter);
    int totalCount() const { return int(m_records.size()); }
    // The ports of the records as typed, each once, in order.
    QStringList ports() const;
    // The texts of the current language changed.
    void retranslate();

    QString cellText(int row, int column) const;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void refilter();
    QString text(const HistoryRecord &record, int column) const;
    bool shown(const HistoryRecord &record) const;

    const LanguageTable &m_languages;
    std::vector<HistoryRecord> m_records; // oldest first
    std::vector<std::size_t> m_rows; // the records shown, newest first
    HistoryFilter m_filter;
};
