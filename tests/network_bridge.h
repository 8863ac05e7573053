// A terminal reached over TCP, for the network tests and the benchmark: the standalone
// simulator on a pseudo-terminal behind Debian's ser2net (raw or RFC 2217), or the simulator
// itself listening on TCP.
#pragma once

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

enum class Bridge { Ser2netRaw, Ser2netRfc2217, SimulatorListening };

inline quint16 freeTcpPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

inline QString ser2netProgram()
{
    return QStandardPaths::findExecutable(
        QStringLiteral("ser2net"),
        { QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"), QStringLiteral("/usr/bin") });
}

class NetworkTerminal
{
public:
    NetworkTerminal(Bridge bridge, QStringList simArguments)
    {
        simArguments << QStringLiteral("--log") << logPath();
        const QString local = QStringLiteral("127.0.0.1:%1").arg(freeTcpPort());
        if (bridge == Bridge::SimulatorListening)
            simArguments << QStringLiteral("--listen") << QStringLiteral("tcp://") + local;
        if (!start(m_sim, QStringLiteral(PORTEVAL_TERMINAL_SIM), simArguments))
            return;
        const QString simFirstLine = QString::fromLocal8Bit(m_sim.readLine().trimmed());
        if (bridge == Bridge::SimulatorListening) {
            url = simFirstLine;
            return;
        }
        const bool rfc2217 = bridge == Bridge::Ser2netRfc2217;
        QFile config(m_dir.filePath(QStringLiteral("ser2net.yaml")));
        if (!config.open(QIODevice::WriteOnly))
            return;
        // A new connection takes over at once, even before the previous one's end is seen.
        config.write(QStringLiteral("connection: &terminal\n  accepter: %1tcp,%2\n"
                                    "  connector: serialdev,%3,38400n81,local\n"
                                    "  options:\n    kickolduser: true\n")
                         .arg(rfc2217 ? QStringLiteral("telnet(rfc2217),") : QString(),
                              QString(local).replace(u':', u','), simFirstLine)
                         .toUtf8());
        config.close();
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.setStandardOutputFile(m_dir.filePath(QStringLiteral("ser2net.log")));
        m_server.start(ser2netProgram(),
                       { QStringLiteral("-n"), QStringLiteral("-d"), QStringLiteral("-c"),
                         config.fileName(), QStringLiteral("-P"),
                         m_dir.filePath(QStringLiteral("ser2net.pid")) });
        // Listening once a connection goes through; ser2net closes the device again after it.
        const bool listening
            = m_server.waitForStarted(5000)
            && QTest::qWaitFor(
                  [&] {
                      QTcpSocket probe;
                      probe.connectToHost(QHostAddress::LocalHost,
                                          quint16(local.section(u':', 1).toUInt()));
                      return probe.waitForConnected(200);
                  },
                  5000);
        if (listening)
            url = (rfc2217 ? QStringLiteral("rfc2217://") : QStringLiteral("tcp://")) + local;
    }
    ~NetworkTerminal()
    {
        stopServing();
        stop(m_sim);
    }

    // Whoever serves the TCP port goes away: ser2net, or the listening simulator.
    void stopServing() { stop(m_server.state() != QProcess::NotRunning ? m_server : m_sim); }

    QList<QJsonObject> loggedFrames() const
    {
        QFile file(logPath());
        QList<QJsonObject> frames;
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : file.readAll().split('\n')) {
                if (!line.trimmed().isEmpty())
                    frames << QJsonDocument::fromJson(line).object();
            }
        }
        return frames;
    }

    QString url; // what the port box takes; empty when something did not start

private:
    static bool start(QProcess &process, const QString &program, const QStringList &arguments)
    {
        process.start(program, arguments);
        return process.waitForStarted(5000)
            && QTest::qWaitFor([&] { return process.canReadLine(); }, 5000);
    }
    static void stop(QProcess &process)
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(3000))
            process.kill();
        process.waitForFinished(1000);
    }
    QString logPath() const { return m_dir.filePath(QStringLiteral("frames.jsonl")); }

    QTemporaryDir m_dir;
    QProcess m_sim;
    QProcess m_server;
};
