#include "demo_ports.h"

using namespace Qt::StringLiterals;

std::unique_ptr<SerialDevice> DemoPorts::device(const PortRequest &request, QString *whyNot)
{
    // Any number that names a port at all, and any path, reach the terminal.
    if (request.devicePath.isEmpty() && request.number < 1) {
        *whyNot = u"No port has number %1"_s.arg(request.number);
        return nullptr;
    }
    auto device = std::make_unique<SimulatedTerminalDevice>(m_options);
    m_last = device.get();
    return device;
}

QStringList DemoPorts::describePorts() const
{
    return { u"1: simulated terminal (demo mode; every number reaches it)"_s };
}
