#include "network_serial_device.h"

#include "link/frame_trace.h"

#include <QCoreApplication>
#include <QTimer>

#include <utility>

using namespace Qt::StringLiterals;

NetworkSerialDevice::NetworkSerialDevice(const PortRequest &request, QObject *parent)
    : SerialDevice(parent)
    , m_request(request)
    , m_telnet(request.scheme == u"rfc2217"_s)
{
    connect(&m_socket, &QTcpSocket::readyRead, this, &NetworkSerialDevice::readSocket);
    connect(&m_socket, &QTcpSocket::disconnected, this, &NetworkSerialDevice::socketEnded);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &NetworkSerialDevice::socketEnded);
}

NetworkSerialDevice::~NetworkSerialDevice()
{
    // The socket's own destructor aborts the connection and signals it; by then this object
    // is half gone.
    m_socket.disconnect(this);
}

bool NetworkSerialDevice::open(const LineSettings &settings)
{
    if (m_open) {
        m_error = u"%1 is already open"_s.arg(m_request.text());
        return false;
    }
    m_socket.abort();
    m_socketEnded = false;
    m_codec.reset();
    const QDeadlineTimer deadline(kOpenTimeout);

    m_socket.connectToHost(m_request.host, m_request.tcpPort);
    const bool connected = waitUntil(
        [this] { return m_socket.state() == QAbstractSocket::ConnectedState || m_socketEnded; },
        deadline);
    if (m_socketEnded)
        return failOpen(m_socket.errorString());
    if (!connected) {
        const qint64 seconds
            = std::chrono::duration_cast<std::chrono::seconds>(kOpenTimeout).count();
        return failOpen(m_socket.state() == QAbstractSocket::HostLookupState
                            ? u"could not look up %1 in %2 s"_s.arg(m_request.host).arg(seconds)
                            : u"no answer in %1 s"_s.arg(seconds));
    }
    // Frames are small and every one waits for its answer: do not hold them back.
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);

    if (m_telnet) {
        m_codec.emplace(settings);
        m_socket.write(m_codec->start());
        const bool answered = waitUntil(
            [this] { return m_codec->comPort() != TelnetCodec::ComPort::Asked || m_socketEnded; },
            deadline);
        if (m_socketEnded)
            return failOpen(m_socket.errorString());
        if (!answered)
            return failOpen(u"no answer to the COM-port option (RFC 2217): a raw TCP port?"_s);
        if (m_codec->comPort() == TelnetCodec::ComPort::Refused)
            return failOpen(u"the server refuses the COM-port option (RFC 2217)"_s);

        waitUntil([this] { return m_codec->lineAcknowledged() || m_socketEnded; },
                  QDeadlineTimer(kConfirmWait));
        if (m_socketEnded)
            return failOpen(m_socket.errorString());
        if (!m_codec->lineAcknowledged())
            traceLinkNote(u"%1: line settings not confirmed by the server"_s.arg(m_request.text()));
        const QStringList differences = m_codec->lineDifferences();
        if (!differences.isEmpty()) {
            traceLinkNote(u"%1: the server set %2 instead"_s.arg(m_request.text(),
                                                                 differences.join(u", "_s)));
        }
    }
    // Whatever came before the port was ours is not an answer to anything.
    m_received.clear();
    m_error.clear();
    m_open = true;
    return true;
}

// Waits as the exchange does: the thread's events go on and the wait costs no processor time.
// The timer only wakes the loop once the time is up. A deadline needs no precision: a coarse
// timer, which on Windows is a window-message timer. Qt's precise one there is a multimedia
// timer that posts its event, and under Wine 10 a worker thread's wait on it now and then
// slept for good (4 opens in 8 with the other core busy).
bool NetworkSerialDevice::waitUntil(const std::function<bool()> &done,
                                    const QDeadlineTimer &deadline)
{
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::CoarseTimer);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        if (!wake.isActive())
            wake.start(std::chrono::milliseconds(deadline.remainingTime()));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

bool NetworkSerialDevice::failOpen(const QString &reason)
{
    m_socket.abort();
    m_codec.reset();
    m_error = u"%1: %2"_s.arg(m_request.text(), reason);
    traceLinkNote(u"cannot open "_s + m_error);
    return false;
}

void NetworkSerialDevice::close()
{
    m_open = false;
    m_codec.reset();
    m_received.clear();
    // What is still queued goes out before the connection ends, also when no event loop runs
    // after the close (a program that ends right after a beep).
    if (m_socket.bytesToWrite() > 0)
        m_socket.waitForBytesWritten(int(kOpenTimeout.count()));
    m_socket.disconnectFromHost();
}

void NetworkSerialDevice::write(const QByteArray &bytes)
{
    if (m_open)
        m_socket.write(m_codec ? m_codec->encode(bytes) : bytes);
}

QByteArray NetworkSerialDevice::takeReceived()
{
    return std::exchange(m_received, {});
}

void NetworkSerialDevice::readSocket()
{
    const QByteArray bytes = m_socket.readAll();
    QByteArray data;
    if (m_codec) {
        const QByteArray reply = m_codec->feed(bytes, &data);
        if (!reply.isEmpty())
            m_socket.write(reply);
    } else {
        data = bytes;
    }
    if (!m_open || data.isEmpty())
        return;
    m_received += data;
    emit bytesReceived();
}

void NetworkSerialDevice::socketEnded()
{
    if (!m_open) {
        m_socketEnded = true;
        return;
    }
    // The server went away, or the network did: a lost port, as an unplugged adapter is.
    m_open = false;
    m_codec.reset();
    m_error = u"%1: %2"_s.arg(m_request.text(), m_socket.errorString());
    traceLinkNote(u"lost "_s + m_error);
    m_socket.abort();
    emit failed();
}
