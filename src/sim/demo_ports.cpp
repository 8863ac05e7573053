#include "demo_ports.h"

using namespace Qt::StringLiterals;

std::unique_ptr<SerialDevice> DemoPorts::device(const PortRequest &request, QString *whyNot)
{
    // Any number that names a port at all, and any path or address, reach the terminal.
    if (request.devicePath.isEmpty() && !request.isNetwork() && request.number < 1) {
        *whyNot = u"No port has number %1"_s.arg(request.number);
        return nullptr;
    }
    auto device = std::make_unique<SimulatedTerminalDevice>(m_options);
    m_last = device.get();
    return device;
}

QList<NumberedPort> DemoPorts::numberedPorts() const
{
    return { { 1, kSimulatedDeviceName, QString(), true } };
}
