// A real serial port, through QSerialPort.
#pragma once

#include "platform/serial_device.h"

#include <QPointer>
#include <QSerialPort>

#include <chrono>

class QSocketNotifier;

class QtSerialDevice : public SerialDevice
{
    Q_OBJECT

public:
    // Wake-ups of the read notifier without a byte after which a line counts as hung up even
    // if it still answers requests for its modem lines.
    static constexpr int kEmptyNotificationsLimit = 20;
    // How long closing waits for the bytes still queued: far more than a frame takes at 38400
    // baud, and a line that takes nothing ends the wait with an error sooner.
    static constexpr std::chrono::milliseconds kLastWrite { 1000 };

    explicit QtSerialDevice(const QString &location, QObject *parent = nullptr);
    ~QtSerialDevice() override;

    bool open(const LineSettings &settings) override;
    void close() override;
    bool isOpen() const override { return m_port.isOpen(); }
    void write(const QByteArray &bytes) override;
    QByteArray takeReceived() override { return m_port.readAll(); }
    QString errorString() const override { return m_error; }
    QString deviceName() const override { return m_location; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onError(QSerialPort::SerialPortError error);
    void watchForHangUp();
    void lose(const QString &reason);

    QSerialPort m_port;
    QString m_location;
    QString m_error;
    // QSerialPort's own read notifier on Unix, watched for a line that hung up.
    QPointer<QSocketNotifier> m_readNotifier;
    int m_emptyNotifications = 0;
};
