// A real serial port, through QSerialPort.
#pragma once

#include "platform/serial_device.h"

#include <QSerialPort>

class QtSerialDevice : public SerialDevice
{
    Q_OBJECT

public:
    explicit QtSerialDevice(const QString &location, QObject *parent = nullptr);
    ~QtSerialDevice() override;

    bool open(const LineSettings &settings) override;
    void close() override;
    bool isOpen() const override { return m_port.isOpen(); }
    void write(const QByteArray &bytes) override;
    QByteArray takeReceived() override { return m_port.readAll(); }
    QString errorString() const override { return m_error; }
    QString deviceName() const override { return m_location; }

private:
    void onError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
    QString m_location;
    QString m_error;
};
