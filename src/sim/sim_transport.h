// Where the standalone simulator meets the program: a pseudo-terminal, a serial port or a TCP
// listener, each carrying the terminal's bytes both ways.
#pragma once

#include <QObject>
#include <QString>

class SimTransport : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // False with `*error` set when the system refuses.
    virtual bool open(QString *error) = 0;
    // What the program opens to reach the terminal: the first line the simulator prints.
    virtual QString address() const = 0;

signals:
    // The terminal has vanished (exit code 0) or the transport failed (1).
    void finished(int exitCode);
};
