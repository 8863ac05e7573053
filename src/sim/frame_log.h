// The standalone simulator's record of what it received: one JSON line per frame, flushed as
// written, so that whoever drives the simulator can read it while it runs.
#pragma once

#include "sim/terminal_engine.h"

#include <QFile>

class FrameLog
{
public:
    // Starts (or truncates) the file; false with `*error` set when it cannot be written.
    bool open(const QString &path, QString *error);
    // Logs every frame `terminal` receives from now on, for as long as both exist.
    void follow(TerminalSimulator &terminal);
    void write(const ReceivedFrame &frame);

private:
    QFile m_file;
};
