// The serial ports of this system, numbered as the window's port box counts them.
#pragma once

#include "platform/comm_control.h"

class SystemPorts : public PortProvider
{
public:
    std::unique_ptr<SerialDevice> device(const PortRequest &request, QString *whyNot) override;
    QStringList describePorts() const override;
};
