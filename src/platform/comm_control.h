// The window's serial-port control: the properties and calls that the port and link handlers
// use, over a device chosen by port number or device path.
#pragma once

#include "platform/port_provider.h"
#include "platform/serial_device.h"

#include <QObject>

class CommControl : public QObject
{
    Q_OBJECT

public:
    static constexpr int comEvReceive = 2;

    explicit CommControl(PortProvider &ports, QObject *parent = nullptr);
    ~CommControl() override;

    void setCommPort(qint16 number) { m_request.number = number; }
    qint16 CommPort() const { return m_request.number; }
    void setDevicePath(const QString &path) { m_request.devicePath = path; }
    // False when the text is not "baud,parity,data bits,stop bits".
    bool setSettings(const QString &settings);
    QString Settings() const { return m_settingsText; }
    void setRThreshold(int characters) { m_rThreshold = characters; }
    void setSThreshold(int characters) { m_sThreshold = characters; }
    void setInputLen(int characters) { m_inputLen = characters; }
    void setDTREnable(bool enable) { m_line.dataTerminalReady = enable; }
    void setRTSEnable(bool enable) { m_line.requestToSend = enable; }
    void setHandshaking(int mode);
    void setOutBufferSize(int bytes) { m_outBufferSize = bytes; }
    void setInBufferSize(int bytes) { m_inBufferSize = bytes; }
    void setEOFEnable(bool enable) { m_eofEnable = enable; }
    void setInputMode(int mode) { m_inputMode = mode; }

    // Opens or closes the port. False is the failure the port handlers trap: no such port, busy,
    // bad settings, or already open; errorString() says which.
    bool setPortOpen(bool open);
    bool PortOpen() const;

    void Output(const QByteArray &bytes);
    // Up to InputLen waiting bytes (all of them when InputLen is 0); every value unchanged.
    QByteArray Input();
    qsizetype InBufferCount() const { return m_input.size(); }
    int CommEvent() const { return m_commEvent; }
    QString errorString() const { return m_error; }

signals:
    // Raised while at least RThreshold received bytes are waiting.
    void OnComm();

private:
    void takeFromDevice();
    void deviceFailed();

    PortProvider &m_ports;
    PortRequest m_request;
    LineSettings m_line;
    QString m_settingsText;
    int m_rThreshold = 0;
    int m_sThreshold = 0;
    int m_inputLen = 0;
    int m_outBufferSize = 512;
    int m_inBufferSize = 1024;
    bool m_eofEnable = false;
    int m_inputMode = 0;
    int m_commEvent = 0;
    std::unique_ptr<SerialDevice> m_device;
    QByteArray m_input;
    QString m_error;
};
