// The simulated terminal on an existing serial port, real or virtual, at the terminal's own
// 38400 8N1: where there are no pseudo-terminals (Windows), a null-modem pair reaches it.
#pragma once

#include "sim/sim_transport.h"
#include "sim/terminal_engine.h"

#include <QSerialPort>

class SerialPortTerminal : public SimTransport
{
    Q_OBJECT

public:
    SerialPortTerminal(TerminalSimulator &terminal, const QString &device,
                       QObject *parent = nullptr);

    bool open(QString *error) override;
    QString address() const override { return m_device; }

private:
    void send(const QByteArray &bytes);
    void vanish();
    void closeWhenSent();
    void onError(QSerialPort::SerialPortError error);

    TerminalSimulator &m_terminal;
    QString m_device; // as given: QSerialPort's own name drops "/dev/"
    QSerialPort m_port;
    bool m_vanishing = false;
};
