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

    void setCommPort(qint16 number)
    {
        m_request = PortRequest();
        m_request.number = number;
    }
    qint16 CommPort() const { return m_request.number; }
    // A device path or network port instead of a port number.
    void setPortRequest(const PortRequest &request) { m_request = request; }
    const PortRequest &portRequest() const { return m_request; }
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
    // The device the last open reached, open or closed since; empty when that open failed.
    QString deviceName() const { return m_device ? m_device->deviceName() : QString(); }

signals:
    // Raised while at least RThreshold received bytes are waiting.
    void OnComm();
    // The device went away while open (an adapter pulled, a server gone): the port is closed.
    void portLost(const QString &reason);

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

// Sets the port up for the terminal as the port button does, property by property: `request`,
// "38400,n,8,1", a receive event per byte, one byte per read, no handshaking, DTR and RTS off,
// 2048-byte buffers, binary input, then opens it. False with the control's errorString() set
// when the port cannot be opened.
bool openForTerminal(CommControl &control, const PortRequest &request);
