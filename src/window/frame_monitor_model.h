// The frame monitor's rows: the latest frame events, oldest dropped beyond a bound, each shown as
// time, direction, command, response, why it was dropped and the frame in hex. Events are
// collected as they come and shown in batches, so that a line pouring junk costs one view update
// per batch rather than one per frame.
#pragma once

#include "link/frame_trace.h"

#include <QAbstractTableModel>
#include <QTimer>

#include <chrono>
#include <deque>
#include <vector>

class LanguageTable;

class FrameMonitorModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Time, Direction, Command, Response, Reason, Frame, ColumnCount };
    static constexpr int kMaxRows = 5000;
    // Of a frame kept for showing; a junk "frame" can run to 32 KB.
    static constexpr qsizetype kMaxFrameBytes = 256;
    static constexpr std::chrono::milliseconds kBatchInterval { 100 };

    explicit FrameMonitorModel(const LanguageTable &languages, QObject *parent = nullptr);

    void append(const FrameEvent &event);
    // Shows what has been collected now rather than at the end of the batch.
    void flush();
    void clear();

    bool showKeys() const { return m_showKeys; }
    void setShowKeys(bool show);
    // The texts of the current language changed.
    void retranslate();

    // One row as copied and saved: the columns separated by tabs, the keys as shown.
    QString rowText(int row) const { return rowText(row, m_showKeys); }
    QString rowText(int row, bool showKeys) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    struct Row
    {
        FrameEvent event;
        qsizetype frameSize = 0; // before the frame was cut to kMaxFrameBytes
    };

    QString cellText(const Row &row, int column, bool showKeys) const;

    const LanguageTable &m_languages;
    std::deque<Row> m_rows;
    std::vector<Row> m_pending;
    QTimer m_batch;
    bool m_showKeys = false;
};
