// porteval-terminal-sim on its own pseudo-terminal, logging every frame it receives; where the
// system has no pseudo-terminals (Windows), on a free TCP port of this machine instead.
#pragma once

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class PtySimulator
{
public:
    explicit PtySimulator(QStringList arguments = {})
    {
        arguments << QStringLiteral("--log") << logPath();
#ifndef PORTEVAL_HAVE_PTY
        arguments << QStringLiteral("--listen") << QStringLiteral("tcp://127.0.0.1:0");
#endif
        m_process.start(QStringLiteral(PORTEVAL_TERMINAL_SIM), arguments);
        if (m_process.waitForStarted(5000)
            && QTest::qWaitFor([this] { return m_process.canReadLine(); }, 5000)) {
            device = QString::fromLocal8Bit(m_process.readLine().trimmed());
        }
    }
    ~PtySimulator()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(2000))
                m_process.kill();
        }
    }

    QString logPath() const
    {
        return m_dir.filePath(QStringLiteral("frames.jsonl"));
    }
    QList<QJsonObject> loggedFrames() const
    {
        QFile file(logPath());
        QList<QJsonObject> frames;
        if (!file.open(QIODevice::ReadOnly))
            return frames;
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (!line.trimmed().isEmpty())
                frames << QJsonDocument::fromJson(line).object();
        }
        return frames;
    }
    // The frames as the terminal received them, in hex.
    QStringList loggedHex() const
    {
        QStringList hex;
        for (const QJsonObject &frame : loggedFrames())
            hex << frame.value(QStringLiteral("hex")).toString();
        return hex;
    }
    bool finished() const
    {
        return m_process.state() == QProcess::NotRunning;
    }

    QString device; // what to open: /dev/pts/N, or tcp://127.0.0.1:PORT

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};
