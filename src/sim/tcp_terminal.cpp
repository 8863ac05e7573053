#include "tcp_terminal.h"

#include <QHostInfo>

using namespace Qt::StringLiterals;

TcpTerminal::TcpTerminal(TerminalSimulator &terminal, const QString &host, quint16 port,
                         QObject *parent)
    : SimTransport(parent)
    , m_terminal(terminal)
    , m_host(host)
    , m_port(port)
{
    connect(&m_terminal, &TerminalSimulator::transmit, this, &TcpTerminal::send);
    connect(&m_terminal, &TerminalSimulator::vanished, this, &TcpTerminal::vanish);
    connect(&m_server, &QTcpServer::newConnection, this, &TcpTerminal::accept);
}

TcpTerminal::~TcpTerminal()
{
    // The server deletes its connections after this object's own members are gone; a
    // connection's end must not reach us then.
    const QList<QTcpSocket *> sockets = m_server.findChildren<QTcpSocket *>();
    for (QTcpSocket *socket : sockets)
        socket->disconnect(this);
}

bool TcpTerminal::open(QString *error)
{
    QHostAddress address(m_host);
    if (address.isNull()) {
        const QList<QHostAddress> found = QHostInfo::fromName(m_host).addresses();
        if (found.isEmpty()) {
            *error = u"%1: host not found"_s.arg(m_host);
            return false;
        }
        address = found.first();
    }
    if (!m_server.listen(address, m_port)) {
        *error = u"%1: %2"_s.arg(address.toString(), m_server.errorString());
        return false;
    }
    return true;
}

QString TcpTerminal::address() const
{
    const QString host = m_server.serverAddress().toString();
    return u"tcp://%1:%2"_s.arg(host.contains(u':') ? u'[' + host + u']' : host)
        .arg(m_server.serverPort());
}

void TcpTerminal::accept()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        if (m_vanishing) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        // The newcomer takes the line over, as with a device server set to kick the old user:
        // a program that reconnects at once may come before its old connection's end is seen.
        if (m_client) {
            m_client->disconnect(this);
            m_client->abort();
            m_client->deleteLater();
            m_terminal.reset();
        }
        m_client = socket;
        // Each answer goes out as the terminal sends it, not gathered into larger segments.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(socket, &QTcpSocket::readyRead, this,
                [this, socket] { m_terminal.receive(socket->readAll()); });
        connect(socket, &QTcpSocket::disconnected, this, &TcpTerminal::clientGone);
    }
}

void TcpTerminal::clientGone()
{
    if (m_client)
        m_client->deleteLater();
    m_client = nullptr;
    if (m_vanishing) {
        emit finished(0);
        return;
    }
    // As when a serial line is closed: a half-read command and unsent answers are forgotten.
    m_terminal.reset();
}

void TcpTerminal::send(const QByteArray &bytes)
{
    // With nobody connected the bytes go nowhere, as on a serial line with nothing plugged in.
    if (m_client)
        m_client->write(bytes);
}

void TcpTerminal::vanish()
{
    m_vanishing = true;
    m_server.close();
    if (m_client)
        m_client->disconnectFromHost(); // after the half frame has gone out
    else
        emit finished(0);
}
