// The simulated terminal on the master side of a pseudo-terminal, for programs that open
// the slave device like a serial port. The only POSIX code in the project lives here, built
// only where pseudo-terminals exist.
#pragma once

#include "sim/sim_transport.h"
#include "sim/terminal_engine.h"

#include <QElapsedTimer>
#include <QTimer>

class QSocketNotifier;

class PtyTerminal : public SimTransport
{
    Q_OBJECT

public:
    explicit PtyTerminal(TerminalSimulator &terminal, QObject *parent = nullptr);
    ~PtyTerminal() override;

    // Creates the pseudo-terminal.
    bool open(QString *error) override;
    // The device the program opens, e.g. /dev/pts/3.
    QString address() const override { return m_devicePath; }
    // A faulty line: random bytes as fast as the pseudo-terminal takes them, besides the
    // terminal's own answers, with no more than kJunkChunk bytes held at a time.
    void setJunk(bool junk) { m_junk = junk; }
    static constexpr qsizetype kJunkChunk = 64 * 1024;

private:
    void readMaster();
    void send(const QByteArray &bytes);
    void writeMaster();
    void vanish();
    void closeWhenDrained();
    void closeMaster();

    TerminalSimulator &m_terminal;
    int m_master = -1;
    // Held open so that the line stays up while no program has the device open; a closed
    // slave makes the master report EIO and, on some systems, hang up.
    int m_slave = -1;
    QString m_devicePath;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QByteArray m_outgoing; // what the master would not take yet
    bool m_vanishing = false;
    bool m_junk = false;
    bool m_drainSeen = false; // the last bytes have shown up on the slave side
    QTimer m_drainTimer;
    QElapsedTimer m_drainClock;
};
