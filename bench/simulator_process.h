// porteval-terminal-sim started for a benchmark, logging every frame it receives: on a
// pseudo-terminal, or where there are none (Windows) on a free TCP port.
#pragma once

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

class SimulatorProcess
{
public:
    explicit SimulatorProcess(QStringList arguments)
    {
        arguments << QStringLiteral("--log") << logPath();
#ifndef PORTEVAL_HAVE_PTY
        arguments << QStringLiteral("--listen") << QStringLiteral("tcp://127.0.0.1:0");
#endif
        m_process.start(QStringLiteral(PORTEVAL_TERMINAL_SIM), arguments);
        if (m_process.waitForStarted(5000) && m_process.waitForReadyRead(5000))
            device = QString::fromLocal8Bit(m_process.readLine().trimmed());
    }
    ~SimulatorProcess()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(2000))
            m_process.kill();
    }

    QString logPath() const
    {
        return m_dir.filePath(QStringLiteral("frames.jsonl"));
    }

    // Bytes of all command frames received so far, from the log.
    qint64 loggedCommandBytes() const
    {
        QFile file(logPath());
        if (!file.open(QIODevice::ReadOnly))
            return 0;
        qint64 bytes = 0;
        for (const QByteArray &line : file.readAll().split('\n')) {
            const qsizetype at = line.indexOf("\"hex\":\"");
            if (at < 0)
                continue;
            const qsizetype end = line.indexOf('"', at + 7);
            bytes += (end - at - 7 + 1) / 3; // "02 72 ..." : three characters a byte
        }
        return bytes;
    }

    QString device;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};
