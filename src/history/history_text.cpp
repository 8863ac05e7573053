#include "history_text.h"

#include "commands/profile.h"
#include "sim/simulated_device.h"
#include "texts/language_table.h"
#include "texts/message_numbers.h"

#include <QJsonValue>

using namespace Qt::StringLiterals;

QString operationText(const QString &operation, const LanguageTable &languages)
{
    const std::optional<Operation> id = operationNamed(operation);
    return id ? languages.GetMis(operationEntry(*id).textNumber) : operation;
}

QString programText(const QString &program, const LanguageTable &languages)
{
    if (program == kProgramWindow)
        return languages.GetMis(Mis::ProgramWindow);
    if (program == kProgramCli)
        return languages.GetMis(Mis::ProgramCli);
    return program;
}

QString portText(const HistoryRecord &record, const LanguageTable &languages)
{
    if (record.device.isEmpty() || record.device == record.port)
        return record.port;
    const QString simulated = languages.GetMis(Mis::SimulatedDevice);
    const bool inWords = record.device == kSimulatedDeviceName && !simulated.isEmpty();
    return record.port + u" ("_s + (inWords ? simulated : record.device) + u')';
}

QString cardText(const QJsonObject &card)
{
    // In the order the window shows them, not the alphabetical one of the object.
    QStringList names { u"slot"_s, u"text"_s };
    for (const ConfigFieldName &field : kConfigFieldNames)
        names << QLatin1String(field.name);
    QStringList fields;
    for (const QString &name : std::as_const(names)) {
        if (card.contains(name))
            fields << name + u'=' + card.value(name).toVariant().toString();
    }
    return fields.join(u' ');
}

QString localTimeText(const QDateTime &time)
{
    return time.toLocalTime().toString(u"yyyy-MM-dd HH:mm:ss"_s);
}

QString historyLine(const HistoryRecord &record, const LanguageTable &languages)
{
    QStringList parts { localTimeText(record.time),
                        programText(record.program, languages),
                        portText(record, languages),
                        operationText(record.operation, languages),
                        QString::number(record.result),
                        u"%1 ms"_s.arg(record.ms),
                        record.text };
    for (const QString &more : { record.firmware, cardText(record.card) }) {
        if (!more.isEmpty())
            parts << more;
    }
    return parts.join(u"  "_s);
}
