#include "operations.h"

#include "commands/cards.h"
#include "commands/key_card_query.h"
#include "commands/reader_session.h"
#include "link/command_set.h"

#include <QJsonArray>

using namespace Qt::StringLiterals;

std::optional<Operation> operationNamed(QStringView name)
{
    for (const OperationEntry &entry : kOperations) {
        if (name == entry.name)
            return entry.id;
    }
    return std::nullopt;
}

QStringList optionNames(const char *options)
{
    QString names = QString::fromLatin1(options);
    names.remove(u'[').remove(u']');
    return names.split(u' ', Qt::SkipEmptyParts);
}

QStringList commandOptions(Operation id)
{
    return optionNames(operationEntry(id).options);
}

bool writesCard(Operation id)
{
    switch (id) {
    case Operation::WriteMaster:
    case Operation::WriteMessages:
    case Operation::WriteConfig:
        return true;
    case Operation::OpenPort:
    case Operation::ClosePort:
    case Operation::Find:
    case Operation::Version:
    case Operation::Beep:
    case Operation::ReadKeys:
        return false;
    }
    return false;
}

namespace {
quint8 firmwareVersion(ReaderSession &session, QJsonObject *results)
{
    QString version;
    const quint8 result = GetFWVersion(session, &version);
    if (result == 0 && results)
        results->insert(u"version"_s, version);
    return result;
}
} // namespace

quint8 runOperation(ReaderSession &session, Operation id, const OperationInput &input,
                    QJsonObject *results)
{
    switch (id) {
    case Operation::OpenPort:
        return session.openPort(input.port);
    case Operation::ClosePort:
        return session.closePort();
    case Operation::Find:
    case Operation::Version:
        return firmwareVersion(session, results);
    case Operation::Beep:
        return BeepSound(session);
    case Operation::ReadKeys: {
        const quint8 result = cmdGetInfoKeyCard(session);
        if (results) {
            QJsonArray keys;
            for (int i = 0; i < kSectors; ++i)
                keys.append(session.fields().keyText(i));
            results->insert(u"keys"_s, keys);
        }
        return result;
    }
    case Operation::WriteMaster:
        return cmdCfgMaster(session, input.button);
    case Operation::WriteMessages:
        return cmdCfgMis(session, input.button);
    case Operation::WriteConfig:
        return cmdCfgConfig(session, input.button);
    }
    // Not reached: every operation has its case above, and the compiler names a missing one.
    // Nothing was sent.
    return Resp::PortNotOpen;
}
