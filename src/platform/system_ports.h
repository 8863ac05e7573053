// The serial ports of this system, numbered as the window's port box counts them.
#pragma once

#include "platform/port_provider.h"

class SystemPorts : public PortProvider
{
public:
    std::unique_ptr<SerialDevice> device(const PortRequest &request, QString *whyNot) override;
    QList<NumberedPort> numberedPorts() const override;
    std::unique_ptr<PortProvider> clone() const override { return std::make_unique<SystemPorts>(); }
};
