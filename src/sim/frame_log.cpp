#include "frame_log.h"

#include "link/command_set.h"

using namespace Qt::StringLiterals;

bool FrameLog::open(const QString &path, QString *error)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        *error = u"%1: %2"_s.arg(path, m_file.errorString());
        return false;
    }
    return true;
}

void FrameLog::follow(TerminalSimulator &terminal)
{
    QObject::connect(&terminal, &TerminalSimulator::frameReceived, &terminal,
                     [this](const ReceivedFrame &frame) { write(frame); });
}

void FrameLog::write(const ReceivedFrame &frame)
{
    if (!m_file.isOpen())
        return;
    const TerminalCommand *command = findCommand(frame.code);
    const QString name = command ? u"\"%1\""_s.arg(QLatin1String(command->name)) : u"null"_s;
    QString line = u"{\"t_ms\":%1,\"hex\":\"%2\",\"code\":%3,\"name\":%4,\"data\":\"%5\","
                   "\"check_ok\":%6"_s.arg(frame.msSinceStart)
                       .arg(QLatin1String(frame.raw.toHex(' ').toUpper()))
                       .arg(frame.code)
                       .arg(name, QLatin1String(frame.data.toHex().toUpper()),
                            frame.checkOk ? u"true"_s : u"false"_s);
    if (!frame.good())
        line += u",\"fault\":\"%1\""_s.arg(QLatin1String(commandFaultName(frame.fault)));
    line += u"}\n"_s;
    m_file.write(line.toUtf8());
    m_file.flush();
}
