// The built-in terminal behind the serial-device interface: what the program talks to in demo
// mode and in tests that need no port.
#pragma once

#include "platform/serial_device.h"
#include "sim/terminal_engine.h"

// The simulated terminal's name as a device, as the history keeps it and porteval-cli lists it:
// scripts read it, so it stays the same in every language.
inline constexpr QLatin1String kSimulatedDeviceName("simulated terminal");

class SimulatedTerminalDevice : public SerialDevice
{
    Q_OBJECT

public:
    explicit SimulatedTerminalDevice(QObject *parent = nullptr);
    explicit SimulatedTerminalDevice(const SimOptions &options, QObject *parent = nullptr);

    bool open(const LineSettings &settings) override;
    void close() override;
    bool isOpen() const override { return m_open; }
    void write(const QByteArray &bytes) override;
    QByteArray takeReceived() override;
    QString errorString() const override { return m_errorString; }
    QString deviceName() const override { return kSimulatedDeviceName; }

    TerminalSimulator &terminal() { return m_terminal; }
    // While missing, open() fails the way an unplugged adapter does.
    void setMissing(bool missing) { m_missing = missing; }
    // The settings of the last successful open().
    LineSettings lineSettings() const { return m_settings; }

private:
    void takeTransmitted(const QByteArray &bytes);
    void vanish();

    TerminalSimulator m_terminal;
    QByteArray m_received;
    QString m_errorString;
    LineSettings m_settings;
    bool m_open = false;
    bool m_missing = false;
};
