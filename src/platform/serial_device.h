// A byte pipe to the terminal, driven by the serial-port control: a real serial port (over
// QSerialPort), a serial device server's port over TCP, or the built-in simulated terminal.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// Line settings as the serial-port control's Settings text gives them ("38400,n,8,1").
struct LineSettings
{
    int baudRate = 38400;
    char parity = 'n'; // n, e, o, m or s
    int dataBits = 8;
    int stopBits = 1; // 1 or 2
    bool hardwareFlowControl = false;
    bool softwareFlowControl = false;
    bool dataTerminalReady = false;
    bool requestToSend = false;
};

class SerialDevice : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~SerialDevice() override = default;

    // False with errorString() set when the device is missing, busy or refuses the settings.
    virtual bool open(const LineSettings &settings) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Queues the bytes and returns at once; a failure to write is not reported.
    virtual void write(const QByteArray &bytes) = 0;
    // Everything received since the last call.
    virtual QByteArray takeReceived() = 0;
    virtual QString errorString() const = 0;
    // What was opened, as a technician would name it again: a device path, a server's address.
    virtual QString deviceName() const = 0;

signals:
    // Bytes are waiting to be taken.
    void bytesReceived();
    // The device went away or failed while open; it has already closed itself.
    void failed();
};
