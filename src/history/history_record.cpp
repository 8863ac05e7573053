#include "history_record.h"

#include "commands/port_jobs.h"
#include "commands/profile.h"

#include <QJsonArray>
#include <QJsonDocument>

using namespace Qt::StringLiterals;

QByteArray HistoryRecord::toJsonLine() const
{
    QJsonObject object { { u"time"_s, time.toUTC().toString(Qt::ISODateWithMs) },
                         { u"program"_s, program },
                         { u"port"_s, port },
                         { u"device"_s, device },
                         { u"operation"_s, operation },
                         { u"lines"_s, QJsonArray::fromStringList(lines) },
                         { u"text"_s, text },
                         { u"result"_s, result },
                         { u"ms"_s, ms } };
    if (!firmware.isEmpty())
        object.insert(u"firmware"_s, firmware);
    if (!card.isEmpty())
        object.insert(u"card"_s, card);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<HistoryRecord> HistoryRecord::fromJsonLine(const QByteArray &line)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    HistoryRecord record;
    record.time = QDateTime::fromString(object.value(u"time"_s).toString(), Qt::ISODateWithMs);
    record.operation = object.value(u"operation"_s).toString();
    // A line that parses but lacks what every record has is no record either: a line of some
    // other file, or two torn halves that happen to make an object.
    if (!record.time.isValid() || record.operation.isEmpty()
        || !object.value(u"result"_s).isDouble())
        return std::nullopt;
    record.time = record.time.toUTC();
    record.program = object.value(u"program"_s).toString();
    record.port = object.value(u"port"_s).toString();
    record.device = object.value(u"device"_s).toString();
    for (const QJsonValue &text : object.value(u"lines"_s).toArray())
        record.lines << text.toString();
    record.text = object.value(u"text"_s).toString();
    record.result = object.value(u"result"_s).toInt();
    record.ms = qint64(object.value(u"ms"_s).toDouble());
    record.firmware = object.value(u"firmware"_s).toString();
    record.card = object.value(u"card"_s).toObject();
    return record;
}

HistoryRecord recordOfOutcome(const PortOutcome &outcome, QLatin1String program,
                              const QJsonObject &card)
{
    HistoryRecord record;
    record.time = QDateTime::currentDateTimeUtc().addMSecs(-outcome.ms);
    record.program = program;
    record.port = outcome.port;
    record.device = outcome.device;
    record.operation = operationEntry(outcome.operation).name;
    record.lines = outcome.lines;
    record.text = outcome.text;
    record.result = outcome.result;
    record.ms = outcome.ms;
    record.firmware = outcome.fields.value(u"version"_s).toString();
    record.card = card;
    return record;
}

QJsonObject recordedCard(Operation id, const ReaderFields &fields)
{
    switch (operationEntry(id).card) {
    case RecordedCard::None:
        return {};
    case RecordedCard::Messages:
        return messagesCardFields(fields.selectedMessage() + 1,
                                  fields.messageText(fields.selectedMessage()));
    case RecordedCard::Config:
        return configCardFields(fields.configFieldTexts());
    }
    return {};
}

QJsonObject configCardFields(const ConfigFieldTexts &fields)
{
    QJsonObject card;
    for (const ConfigFieldName &field : kConfigFieldNames)
        card.insert(QLatin1String(field.name), fields.*field.field);
    return card;
}

QJsonObject messagesCardFields(int slot, const QString &text)
{
    return { { u"slot"_s, slot }, { u"text"_s, text } };
}
