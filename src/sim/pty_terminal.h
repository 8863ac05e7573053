// The simulated terminal on the master side of a pseudo-terminal, for programs that open
// the slave device like a serial port. The only POSIX code in the project lives here.
#pragma once

#include "sim/terminal_engine.h"

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QTimer>

class QSocketNotifier;

class PtyTerminal : public QObject
{
    Q_OBJECT

public:
    explicit PtyTerminal(const SimOptions &options, QObject *parent = nullptr);
    ~PtyTerminal() override;

    // Creates the pseudo-terminal; false with `*error` set when the system refuses.
    bool open(QString *error);
    // The device the program opens, e.g. /dev/pts/3.
    QString devicePath() const { return m_devicePath; }
    // One JSON line per received frame, flushed as written.
    bool startLog(const QString &path, QString *error);

    TerminalSimulator &terminal() { return m_terminal; }

signals:
    // The terminal has vanished (exit code 0) or the pseudo-terminal failed (1).
    void finished(int exitCode);

private:
    void readMaster();
    void send(const QByteArray &bytes);
    void writeMaster();
    void vanish();
    void closeWhenDrained();
    void closeMaster();
    void logFrame(const ReceivedFrame &frame);

    TerminalSimulator m_terminal;
    int m_master = -1;
    // Held open so that the line stays up while no program has the device open; a closed
    // slave makes the master report EIO and, on some systems, hang up.
    int m_slave = -1;
    QString m_devicePath;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QByteArray m_outgoing; // what the master would not take yet
    bool m_vanishing = false;
    bool m_drainSeen = false; // the last bytes have shown up on the slave side
    QTimer m_drainTimer;
    QElapsedTimer m_drainClock;
    QFile m_log;
};
