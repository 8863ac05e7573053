#include "system_ports.h"

#include "platform/network_serial_device.h"
#include "platform/port_numbering.h"
#include "platform/qt_serial_device.h"

#include <QHash>
#include <QSerialPortInfo>

using namespace Qt::StringLiterals;

QList<NumberedPort> SystemPorts::numberedPorts() const
{
    QList<NumberedPort> ports;
#ifdef Q_OS_WIN
    // Number n is COMn, whatever else is plugged in.
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        bool ok = false;
        const int n = info.portName().mid(3).toInt(&ok);
        if (info.portName().startsWith(u"COM"_s) && ok && n > 0 && n <= 32767)
            ports.append({ qint16(n), info.portName(), info.description() });
    }
    std::sort(ports.begin(), ports.end(),
              [](const NumberedPort &a, const NumberedPort &b) { return a.number < b.number; });
#else
    QHash<QString, QSerialPortInfo> byName;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        byName.insert(info.portName(), info);
    qint16 number = 0;
    for (const QString &name : numberedPortNames(byName.keys())) {
        const QSerialPortInfo &info = byName[name];
        ports.append({ ++number, info.systemLocation(), info.description() });
    }
#endif
    return ports;
}

std::unique_ptr<SerialDevice> SystemPorts::device(const PortRequest &request, QString *whyNot)
{
    if (request.isNetwork())
        return std::make_unique<NetworkSerialDevice>(request);
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
    return std::make_unique<QtSerialDevice>(ports[request.number - 1].device);
#endif
}
