#include "pty_terminal.h"

#include <QRandomGenerator>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// How long a vanishing terminal waits for the program to read its last bytes: closing the
// master discards what is still queued on the slave side. Written bytes reach that queue a
// little later, so an empty queue only counts once they have been seen there or after a while.
constexpr int kDrainLimitMs = 500;
constexpr int kDrainSettleMs = 50;
constexpr int kDrainPollMs = 2;

bool makeRaw(int fd)
{
    termios settings {};
    if (::tcgetattr(fd, &settings) != 0)
        return false;
    ::cfmakeraw(&settings);
    return ::tcsetattr(fd, TCSANOW, &settings) == 0;
}

QString systemError(const QString &what)
{
    return u"%1: %2"_s.arg(what, QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

PtyTerminal::PtyTerminal(TerminalSimulator &terminal, QObject *parent)
    : SimTransport(parent)
    , m_terminal(terminal)
{
    connect(&m_terminal, &TerminalSimulator::transmit, this, &PtyTerminal::send);
    connect(&m_terminal, &TerminalSimulator::vanished, this, &PtyTerminal::vanish);
    m_drainTimer.setSingleShot(true);
    connect(&m_drainTimer, &QTimer::timeout, this, &PtyTerminal::closeWhenDrained);
}

PtyTerminal::~PtyTerminal()
{
    closeMaster();
    if (m_slave >= 0)
        ::close(m_slave);
}

bool PtyTerminal::open(QString *error)
{
    if (::openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) != 0) {
        *error = systemError(u"openpty"_s);
        return false;
    }
    // A fresh pseudo-terminal is cooked and echoes: make both sides raw before any traffic.
    if (!makeRaw(m_master) || !makeRaw(m_slave)) {
        *error = systemError(u"raw mode"_s);
        return false;
    }
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    if (::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK) != 0) {
        *error = systemError(u"non-blocking master"_s);
        return false;
    }
    const char *name = ::ptsname(m_master);
    if (!name) {
        *error = systemError(u"ptsname"_s);
        return false;
    }
    m_devicePath = QString::fromLocal8Bit(name);

    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &PtyTerminal::readMaster);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(m_junk); // junk starts pouring as soon as the line takes it
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &PtyTerminal::writeMaster);
    return true;
}

void PtyTerminal::readMaster()
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            m_terminal.receive(QByteArray(buffer, n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        // With our own slave descriptor open this does not happen; if it does, the
        // notifier would fire without end.
        qWarning("porteval-terminal-sim: %s", qPrintable(systemError(u"read"_s)));
        m_readNotifier->setEnabled(false);
        emit finished(1);
        return;
    }
}

void PtyTerminal::send(const QByteArray &bytes)
{
    m_outgoing += bytes;
    if (!m_writeNotifier->isEnabled())
        writeMaster();
}

void PtyTerminal::writeMaster()
{
    for (;;) {
        if (m_outgoing.isEmpty() && m_junk && !m_vanishing) {
            m_outgoing.resize(kJunkChunk);
            QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(m_outgoing.data()),
                                                  kJunkChunk / 4);
        }
        if (m_outgoing.isEmpty())
            break;
        const ssize_t n = ::write(m_master, m_outgoing.constData(), size_t(m_outgoing.size()));
        if (n > 0) {
            m_outgoing.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            m_writeNotifier->setEnabled(true); // the slave's queue is full: go on when it drains
            return;
        }
        qWarning("porteval-terminal-sim: %s", qPrintable(systemError(u"write"_s)));
        m_outgoing.clear();
    }
    m_writeNotifier->setEnabled(false);
    if (m_vanishing)
        closeWhenDrained();
}

void PtyTerminal::vanish()
{
    m_vanishing = true;
    m_readNotifier->setEnabled(false);
    m_drainClock.start();
    if (!m_writeNotifier->isEnabled())
        closeWhenDrained();
}

void PtyTerminal::closeWhenDrained()
{
    if (!m_outgoing.isEmpty())
        return; // writeMaster() comes back here
    int unread = 0;
    if (::ioctl(m_slave, FIONREAD, &unread) != 0)
        unread = 0;
    m_drainSeen = m_drainSeen || unread > 0;
    const qint64 waited = m_drainClock.elapsed();
    const bool read = unread == 0 && (m_drainSeen || waited >= kDrainSettleMs);
    if (!read && waited < kDrainLimitMs) {
        m_drainTimer.start(kDrainPollMs);
        return;
    }
    closeMaster();
    ::close(m_slave);
    m_slave = -1;
    emit finished(0);
}

void PtyTerminal::closeMaster()
{
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}
