// Where the serial-port control gets its devices: the system's serial ports, or the built-in
// simulated terminal.
#pragma once

#include "platform/serial_device.h"

#include <QStringList>

#include <memory>
#include <optional>

// A port as the user names it: a number, a device path, or a port on a serial device server.
struct PortRequest
{
    qint16 number = 0;
    QString devicePath; // when not empty, opened instead of a numbered port
    // When not empty, a serial device server's port instead: "tcp" for raw bytes over TCP,
    // "rfc2217" for Telnet with the COM-port option.
    QString scheme;
    QString host;
    quint16 tcpPort = 0;

    bool isNetwork() const { return !scheme.isEmpty(); }
    // As the user would type it again: "3", "/dev/ttyUSB0", "tcp://10.0.0.7:4001".
    QString text() const;
};

// What a text typed in the port box (or given to --port) names. A text beginning with "/" is a
// device path; "tcp://HOST:PORT" or "rfc2217://HOST:PORT" (IPv6 hosts in brackets) a network
// port; "COMn" in any case port number n; anything else the port number at its start, read by
// the number rule and rounded to a 16-bit integer. Nothing when that number does not fit or the
// address is malformed.
std::optional<PortRequest> parsePortText(const QString &text);

// One port of the numbering: what the port box's tooltip lists and "find the terminal" probes.
struct NumberedPort
{
    qint16 number = 0;
    QString device; // e.g. /dev/ttyUSB0 or COM3
    QString description; // what the system says of it; may be empty
    bool simulated = false; // the built-in terminal of demo mode
};

class PortProvider
{
public:
    virtual ~PortProvider() = default;
    // The device for `request`, not yet open; nullptr with `whyNot` set when there is none.
    virtual std::unique_ptr<SerialDevice> device(const PortRequest &request, QString *whyNot) = 0;
    // The ports in numbering order, as they are now.
    virtual QList<NumberedPort> numberedPorts() const = 0;
    // A provider of the same ports for another thread (devices belong to the thread that
    // made them).
    virtual std::unique_ptr<PortProvider> clone() const = 0;
};
