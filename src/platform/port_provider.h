// Where the serial-port control gets its devices: the system's serial ports, or the built-in
// simulated terminal.
#pragma once

#include "platform/serial_device.h"

#include <QStringList>

#include <memory>

struct PortRequest
{
    qint16 number = 0;
    QString devicePath; // when not empty, opened instead of a numbered port
};

class PortProvider
{
public:
    virtual ~PortProvider() = default;
    // The device for `request`, not yet open; nullptr with `whyNot` set when there is none.
    virtual std::unique_ptr<SerialDevice> device(const PortRequest &request, QString *whyNot) = 0;
    // One line per port in numbering order, as the port box's tooltip lists them.
    virtual QStringList describePorts() const = 0;
};
