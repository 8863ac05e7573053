#include "serial_port_terminal.h"

#include <cstdio>

SerialPortTerminal::SerialPortTerminal(TerminalSimulator &terminal, const QString &device,
                                       QObject *parent)
    : SimTransport(parent)
    , m_terminal(terminal)
    , m_device(device)
{
    m_port.setPortName(device);
    connect(&m_terminal, &TerminalSimulator::transmit, this, &SerialPortTerminal::send);
    connect(&m_terminal, &TerminalSimulator::vanished, this, &SerialPortTerminal::vanish);
    connect(&m_port, &QSerialPort::readyRead, this,
            [this] { m_terminal.receive(m_port.readAll()); });
    connect(&m_port, &QSerialPort::bytesWritten, this, &SerialPortTerminal::closeWhenSent);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialPortTerminal::onError);
}

bool SerialPortTerminal::open(QString *error)
{
    m_port.setBaudRate(38400);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite)) {
        *error = QStringLiteral("%1: %2").arg(m_device, m_port.errorString());
        return false;
    }
    return true;
}

void SerialPortTerminal::send(const QByteArray &bytes)
{
    if (m_port.isOpen())
        m_port.write(bytes);
}

void SerialPortTerminal::vanish()
{
    m_vanishing = true;
    closeWhenSent();
}

void SerialPortTerminal::closeWhenSent()
{
    // The half frame has to leave before the line goes dead, as with a terminal switched off.
    if (!m_vanishing || m_port.bytesToWrite() > 0)
        return;
    m_port.close();
    emit finished(0);
}

void SerialPortTerminal::onError(QSerialPort::SerialPortError error)
{
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError
        && error != QSerialPort::WriteError) {
        return; // NoError on open, a framing error on one byte
    }
    if (!m_port.isOpen())
        return;
    std::fprintf(stderr, "porteval-terminal-sim: %s: %s\n", qPrintable(m_device),
                 qPrintable(m_port.errorString()));
    // Left open, a port that went away reports errors without end.
    m_port.close();
    emit finished(1);
}
