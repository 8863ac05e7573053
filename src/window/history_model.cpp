#include "history_model.h"

#include "history/history_text.h"
#include "texts/language_table.h"
#include "texts/message_numbers.h"

#include <set>

HistoryModel::HistoryModel(const LanguageTable &languages, QObject *parent)
    : QAbstractTableModel(parent)
    , m_languages(languages)
{ }

void HistoryModel::setRecords(QList<HistoryRecord> records)
{
    m_records.assign(std::make_move_iterator(records.begin()),
                     std::make_move_iterator(records.end()));
    refilter();
}

void HistoryModel::addRecord(const HistoryRecord &record)
{
    // Written between the file's reading and now, a record would show twice: the newest ones
    // read are looked at.
    const QByteArray line = record.toJsonLine();
    for (auto it = m_records.rbegin(); it != m_records.rend() && it - m_records.rbegin() < 16;
         ++it) {
        if (it->toJsonLine() == line)
            return;
    }
    m_records.push_back(record);
    if (!shown(record))
        return;
    beginInsertRows({}, 0, 0);
    m_rows.insert(m_rows.begin(), m_records.size() - 1);
    endInsertRows();
}

void HistoryModel::setFilter(const HistoryFilter &filter)
{
    m_filter = filter;
    refilter();
}

void HistoryModel::refilter()
{
    beginResetModel();
    m_rows.clear();
    for (std::size_t i = m_records.size(); i-- > 0;) {
        if (shown(m_records[i]))
            m_rows.push_back(i);
    }
    endResetModel();
}

QStringList HistoryModel::ports() const
{
    std::set<QString> ports;
    for (const HistoryRecord &record : m_records)
        ports.insert(record.port);
    return QStringList(ports.begin(), ports.end());
}

void HistoryModel::retranslate()
{
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
    // The filter's text may be found in other words now.
    refilter();
}

bool HistoryModel::shown(const HistoryRecord &record) const
{
    if (m_filter.text.isEmpty())
        return m_filter.matches(record);
    QStringList words;
    for (int column : { Time, Program, Operation })
        words << text(record, column);
    return m_filter.matches(record, words.join(u'\n'));
}

QString HistoryModel::cellText(int row, int column) const
{
    return text(m_records[m_rows[std::size_t(row)]], column);
}

QString HistoryModel::text(const HistoryRecord &record, int column) const
{
    switch (column) {
    case Time:
        return localTimeText(record.time);
    case Program:
        return programText(record.program, m_languages);
    case Port:
        return portText(record, m_languages);
    case Operation:
        return operationText(record.operation, m_languages);
    case Result:
        return QString::number(record.result);
    case Status:
        return record.text;
    case Duration:
        return QString::number(record.ms);
    case Firmware:
        return record.firmware;
    case Card:
        return cardText(record.card);
    }
    return {};
}

int HistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int HistoryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::DisplayRole)
        return cellText(index.row(), index.column());
    if (role == Qt::ToolTipRole && index.column() == Status)
        return m_records[m_rows[std::size_t(index.row())]].lines.join(u'\n');
    if (role == Qt::TextAlignmentRole && (index.column() == Result || index.column() == Duration))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    return m_languages.GetMis(Mis::HistoryFirstColumn + section);
}
