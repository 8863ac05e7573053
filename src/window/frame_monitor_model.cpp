#include "frame_monitor_model.h"

#include "texts/language_table.h"
#include "texts/message_numbers.h"
#include "texts/response_text.h"

using namespace Qt::StringLiterals;

FrameMonitorModel::FrameMonitorModel(const LanguageTable &languages, QObject *parent)
    : QAbstractTableModel(parent)
    , m_languages(languages)
{
    m_batch.setSingleShot(true);
    m_batch.setInterval(kBatchInterval);
    connect(&m_batch, &QTimer::timeout, this, &FrameMonitorModel::flush);
}

void FrameMonitorModel::append(const FrameEvent &event)
{
    Row row { event, event.frame.size() };
    if (row.frameSize > kMaxFrameBytes)
        row.event.frame.truncate(kMaxFrameBytes);
    // More than a view can hold is waiting: the oldest would be dropped on the way in anyway.
    if (m_pending.size() >= std::size_t(kMaxRows))
        m_pending.erase(m_pending.begin(), m_pending.begin() + kMaxRows / 2);
    m_pending.push_back(std::move(row));
    if (!m_batch.isActive())
        m_batch.start();
}

void FrameMonitorModel::flush()
{
    m_batch.stop();
    if (m_pending.empty())
        return;
    const int incoming = int(m_pending.size());
    const int overflow = int(m_rows.size()) + incoming - kMaxRows;
    if (overflow > 0) {
        const int dropped = qMin(overflow, int(m_rows.size()));
        beginRemoveRows({}, 0, dropped - 1);
        m_rows.erase(m_rows.begin(), m_rows.begin() + dropped);
        endRemoveRows();
    }
    const int first = int(m_rows.size());
    beginInsertRows({}, first, first + incoming - 1);
    for (Row &row : m_pending)
        m_rows.push_back(std::move(row));
    m_pending.clear();
    endInsertRows();
}

void FrameMonitorModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_pending.clear();
    endResetModel();
}

void FrameMonitorModel::setShowKeys(bool show)
{
    if (show == m_showKeys)
        return;
    m_showKeys = show;
    if (!m_rows.empty())
        emit dataChanged(index(0, Frame), index(int(m_rows.size()) - 1, Frame));
}

void FrameMonitorModel::retranslate()
{
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
    if (!m_rows.empty())
        emit dataChanged(index(0, 0), index(int(m_rows.size()) - 1, ColumnCount - 1));
}

QString FrameMonitorModel::rowText(int row, bool showKeys) const
{
    QStringList cells;
    for (int column = 0; column < ColumnCount; ++column)
        cells << cellText(m_rows[std::size_t(row)], column, showKeys);
    return cells.join(u'\t');
}

int FrameMonitorModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int FrameMonitorModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FrameMonitorModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= int(m_rows.size()))
        return {};
    return cellText(m_rows[std::size_t(index.row())], index.column(), m_showKeys);
}

QVariant FrameMonitorModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    return m_languages.GetMis(Mis::MonitorFirstColumn + section);
}

QString FrameMonitorModel::cellText(const Row &row, int column, bool showKeys) const
{
    const FrameEvent &event = row.event;
    using Kind = FrameEvent::Kind;
    switch (column) {
    case Time:
        return event.time.toString(u"HH:mm:ss.zzz"_s);
    case Direction: {
        static constexpr int numbers[]
            = { Mis::MonitorSent, Mis::MonitorReceived, Mis::MonitorDropped, Mis::MonitorTimedOut,
                Mis::MonitorPortLost };
        return m_languages.GetMis(event.setAside ? Mis::MonitorSetAside : numbers[int(event.kind)]);
    }
    case Command:
        return QLatin1String(event.commandName());
    case Response:
        if (event.kind == Kind::Accepted)
            return QString::number(event.code) + u": "_s + GetMisResp(event.code, m_languages);
        if (event.kind == Kind::TimedOut)
            return u"31: "_s + GetMisResp(31, m_languages);
        if (event.kind == Kind::PortLost)
            return event.note;
        return {};
    case Reason:
        if (event.kind != Kind::Dropped)
            return {};
        return m_languages.GetMis(Mis::FirstDropReason + int(event.drop) - int(FrameDrop::Short));
    case Frame: {
        QString hex = event.hex(showKeys);
        if (row.frameSize > event.frame.size())
            hex += u" \u2026 (%1 B)"_s.arg(row.frameSize);
        return hex;
    }
    }
    return {};
}
