// The simulated terminal behind a TCP port, as a serial device server in raw mode would put
// it: the bytes of one connection at a time are the serial line's. A new connection takes the
// line over from the one before.
#pragma once

#include "sim/sim_transport.h"
#include "sim/terminal_engine.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

class TcpTerminal : public SimTransport
{
    Q_OBJECT

public:
    TcpTerminal(TerminalSimulator &terminal, const QString &host, quint16 port,
                QObject *parent = nullptr);
    ~TcpTerminal() override;

    bool open(QString *error) override;
    // tcp://HOST:PORT as the program's port box takes it.
    QString address() const override;

private:
    void accept();
    void clientGone();
    void send(const QByteArray &bytes);
    void vanish();

    TerminalSimulator &m_terminal;
    QString m_host;
    quint16 m_port = 0;
    QTcpServer m_server;
    QPointer<QTcpSocket> m_client;
    bool m_vanishing = false;
};
