#include "simulated_device.h"

#include <utility>

using namespace Qt::StringLiterals;

SimulatedTerminalDevice::SimulatedTerminalDevice(QObject *parent)
    : SimulatedTerminalDevice(SimOptions(), parent)
{ }

SimulatedTerminalDevice::SimulatedTerminalDevice(const SimOptions &options, QObject *parent)
    : SerialDevice(parent)
    , m_terminal(options)
{
    connect(&m_terminal, &TerminalSimulator::transmit, this,
            &SimulatedTerminalDevice::takeTransmitted);
    connect(&m_terminal, &TerminalSimulator::vanished, this, &SimulatedTerminalDevice::vanish);
}

bool SimulatedTerminalDevice::open(const LineSettings &settings)
{
    if (m_missing) {
        m_errorString = u"The simulated terminal is unplugged"_s;
        return false;
    }
    if (m_open) {
        m_errorString = u"The simulated terminal is already open"_s;
        return false;
    }
    m_terminal.reset();
    m_received.clear();
    m_errorString.clear();
    m_settings = settings;
    m_open = true;
    return true;
}

void SimulatedTerminalDevice::close()
{
    if (!m_open)
        return;
    m_open = false;
    m_terminal.reset();
    m_received.clear();
}

void SimulatedTerminalDevice::write(const QByteArray &bytes)
{
    if (m_open)
        m_terminal.receive(bytes);
}

QByteArray SimulatedTerminalDevice::takeReceived()
{
    return std::exchange(m_received, {});
}

void SimulatedTerminalDevice::takeTransmitted(const QByteArray &bytes)
{
    if (!m_open)
        return;
    m_received += bytes;
    emit bytesReceived();
}

void SimulatedTerminalDevice::vanish()
{
    if (!m_open)
        return;
    // What arrived before the line went is kept for takeReceived(), as a port's buffer is.
    m_open = false;
    m_errorString = u"The simulated terminal went away"_s;
    emit failed();
}
