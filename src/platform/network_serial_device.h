// A terminal behind a serial device server: its serial line reached over TCP, either as raw
// bytes or through Telnet with the COM-port option (RFC 2217), which also sets the server's
// line. Everything above this class sees a serial port like any other.
#pragma once

#include "platform/port_provider.h"
#include "platform/serial_device.h"
#include "platform/telnet_codec.h"

#include <QDeadlineTimer>
#include <QTcpSocket>

#include <chrono>
#include <functional>
#include <optional>

class NetworkSerialDevice : public SerialDevice
{
    Q_OBJECT

public:
    // Connecting, and agreeing on the COM-port option, take at most this long: a host that
    // does not answer ends the open as a port that does not exist would.
    static constexpr std::chrono::milliseconds kOpenTimeout { 3000 };
    // How long the line settings may take to be confirmed before we go on without: some
    // servers never confirm some of them (ser2net on a pseudo-terminal: DTR and RTS).
    static constexpr std::chrono::milliseconds kConfirmWait { 500 };

    explicit NetworkSerialDevice(const PortRequest &request, QObject *parent = nullptr);
    ~NetworkSerialDevice() override;

    // Waits for the server while the thread's events go on, so the window stays responsive.
    bool open(const LineSettings &settings) override;
    void close() override;
    bool isOpen() const override { return m_open; }
    void write(const QByteArray &bytes) override;
    QByteArray takeReceived() override;
    QString errorString() const override { return m_error; }
    QString deviceName() const override { return m_request.text(); }

private:
    bool waitUntil(const std::function<bool()> &done, const QDeadlineTimer &deadline);
    bool failOpen(const QString &reason);
    void readSocket();
    void socketEnded();

    PortRequest m_request;
    bool m_telnet = false;
    QTcpSocket m_socket;
    std::optional<TelnetCodec> m_codec;
    QByteArray m_received;
    QString m_error;
    bool m_open = false;
    bool m_socketEnded = false; // an error or the server's close while opening
};
