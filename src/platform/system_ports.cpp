#include "system_ports.h"

#include "platform/port_numbering.h"
#include "platform/qt_serial_device.h"

#include <QHash>
#include <QSerialPortInfo>

using namespace Qt::StringLiterals;

namespace {

struct NumberedPort
{
    QString name;
    QString location;
    QString description;
};

QList<NumberedPort> numberedPorts()
{
    QHash<QString, QSerialPortInfo> byName;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        byName.insert(info.portName(), info);
    QList<NumberedPort> ports;
    for (const QString &name : numberedPortNames(byName.keys())) {
        const QSerialPortInfo &info = byName[name];
        ports.append({ name, info.systemLocation(), info.description() });
    }
    return ports;
}

} // namespace

std::unique_ptr<SerialDevice> SystemPorts::device(const PortRequest &request, QString *whyNot)
{
    if (!request.devicePath.isEmpty())
        return std::make_unique<QtSerialDevice>(request.devicePath);
    if (request.number <= 0) {
        *whyNot = u"No port has number %1"_s.arg(request.number);
        return nullptr;
    }
#ifdef Q_OS_WIN
    return std::make_unique<QtSerialDevice>(u"COM"_s + QString::number(request.number));
#else
    const QList<NumberedPort> ports = numberedPorts();
    if (request.number > ports.size()) {
        *whyNot = u"No port has number %1"_s.arg(request.number);
        return nullptr;
    }
    return std::make_unique<QtSerialDevice>(ports[request.number - 1].location);
#endif
}

QStringList SystemPorts::describePorts() const
{
    QStringList lines;
#ifdef Q_OS_WIN
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        lines << info.portName().mid(3) + u": "_s + info.portName() + u"  "_s + info.description();
    }
#else
    const QList<NumberedPort> ports = numberedPorts();
    for (qsizetype i = 0; i < ports.size(); ++i) {
        QString line = QString::number(i + 1) + u": "_s + ports[i].location;
        if (!ports[i].description.isEmpty())
            line += u"  "_s + ports[i].description;
        lines << line;
    }
#endif
    return lines;
}
