// Demo mode: every port number and device path reaches the built-in simulated terminal.
#pragma once

#include "platform/port_provider.h"
#include "sim/simulated_device.h"

#include <QPointer>

class DemoPorts : public PortProvider
{
public:
    explicit DemoPorts(const SimOptions &options = SimOptions())
        : m_options(options)
    { }

    std::unique_ptr<SerialDevice> device(const PortRequest &request, QString *whyNot) override;
    QList<NumberedPort> numberedPorts() const override;
    std::unique_ptr<PortProvider> clone() const override
    {
        return std::make_unique<DemoPorts>(m_options);
    }

    // The terminal behind the port opened last, while it exists.
    SimulatedTerminalDevice *lastDevice() const { return m_last; }

private:
    SimOptions m_options;
    QPointer<SimulatedTerminalDevice> m_last;
};
