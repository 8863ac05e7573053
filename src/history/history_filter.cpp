#include "history_filter.h"

#include <QJsonValue>

using namespace Qt::StringLiterals;

namespace {

bool found(const QString &text, const QString &wanted)
{
    return text.contains(wanted, Qt::CaseInsensitive);
}

bool textFound(const HistoryRecord &record, const QString &wanted)
{
    for (const QString &field : { record.program, record.port, record.device, record.operation,
                                  record.text, record.firmware, QString::number(record.result) }) {
        if (found(field, wanted))
            return true;
    }
    for (const QString &line : record.lines) {
        if (found(line, wanted))
            return true;
    }
    for (auto it = record.card.begin(); it != record.card.end(); ++it) {
        if (found(it.value().toVariant().toString(), wanted))
            return true;
    }
    return false;
}

} // namespace

bool HistoryFilter::matches(const HistoryRecord &record, const QString &shown) const
{
    if (since.isValid() && record.time < since)
        return false;
    if (outcome == Outcome::Succeeded && record.failed())
        return false;
    if (outcome == Outcome::Failed && !record.failed())
        return false;
    if (!ports.isEmpty() && !ports.contains(record.port) && !ports.contains(record.device))
        return false;
    return text.isEmpty() || textFound(record, text) || found(shown, text);
}

std::optional<QDateTime> parseSince(const QString &text, const QDateTime &now)
{
    const QString word = text.trimmed().toLower();
    const QDate today = now.toLocalTime().date();
    if (word == u"today"_s)
        return today.startOfDay();
    if (word == u"yesterday"_s)
        return today.addDays(-1).startOfDay();
    // QDate reads the date at the start of a longer text as well.
    const QDate date = QDate::fromString(word, Qt::ISODate);
    if (date.isValid() && word.size() == 10)
        return date.startOfDay();
    QString stamp = text.trimmed();
    if (stamp.size() > 10 && stamp[10] == u' ')
        stamp[10] = u'T';
    const QDateTime moment = QDateTime::fromString(stamp, Qt::ISODateWithMs);
    if (moment.isValid())
        return moment;
    return std::nullopt;
}
