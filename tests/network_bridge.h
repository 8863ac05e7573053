// A terminal reached over TCP, for the network tests and the benchmark: the standalone
// simulator on a pseudo-terminal behind Debian's ser2net (raw or RFC 2217), or the simulator
// itself listening on TCP.
#pragma once

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

enum class Bridge { Ser2netRaw, Ser2netRfc2217, SimulatorListening };

inline quint16 freeTcpPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

inline QString ser2netProgram()
{
    return QStandardPaths::findExecutable(u"ser2net"_s, { u"/usr/sbin"_s, u"/usr/bin"_s });
}

class NetworkTerminal
{
public:
    NetworkTerminal(Bridge bridge, QStringList simArguments)
    {
        const quint16 port = freeTcpPort();
        const QString local = u"127.0.0.1:%1"_s.arg(port);
        simArguments << u"--log"_s << m_dir.filePath(u"frames.jsonl"_s);
        if (bridge == Bridge::SimulatorListening)
            simArguments << u"--listen"_s << u"tcp://"_s + local;
        m_sim.start(QStringLiteral(PORTEVAL_TERMINAL_SIM), simArguments);
        if (!QTest::qWaitFor([this] { return m_sim.canReadLine(); }, 5000))
            return;
        const QString simFirstLine = QString::fromLocal8Bit(m_sim.readLine().trimmed());
        if (bridge == Bridge::SimulatorListening) {
            url = simFirstLine;
            return;
        }
        const bool rfc2217 = bridge == Bridge::Ser2netRfc2217;
        QFile config(m_dir.filePath(u"ser2net.yaml"_s));
        if (!config.open(QIODevice::WriteOnly))
            return;
        // A new connection takes over at once, even before the previous one's end is seen.
        config.write(u"connection: &terminal\n  accepter: %1tcp,%2\n"
                     "  connector: serialdev,%3,38400n81,local\n"
                     "  options:\n    kickolduser: true\n"_s
                         .arg(rfc2217 ? u"telnet(rfc2217),"_s : QString(),
                              QString(local).replace(u':', u','), simFirstLine)
                         .toUtf8());
        config.close();
        m_server.start(ser2netProgram(),
                       { u"-n"_s, u"-d"_s, u"-c"_s, config.fileName(), u"-P"_s,
                         m_dir.filePath(u"ser2net.pid"_s) });
        // Listening once a connection goes through; ser2net closes the device again after it.
        if (QTest::qWaitFor(
                [&] {
                    QTcpSocket probe;
                    probe.connectToHost(QHostAddress::LocalHost, port);
                    return probe.waitForConnected(200);
                },
                5000)) {
            url = (rfc2217 ? u"rfc2217://"_s : u"tcp://"_s) + local;
        }
    }
    ~NetworkTerminal()
    {
        stopServing();
        stop(m_sim);
    }

    // Whoever serves the TCP port goes away: ser2net, or the listening simulator.
    void stopServing() { stop(m_server.state() != QProcess::NotRunning ? m_server : m_sim); }

    // The frames the simulator received, as its log gives them ("02 72 81 ...").
    QStringList loggedHex() const
    {
        QFile file(m_dir.filePath(u"frames.jsonl"_s));
        QStringList frames;
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : file.readAll().split('\n')) {
                if (!line.isEmpty())
                    frames << QJsonDocument::fromJson(line).object()[u"hex"_s].toString();
            }
        }
        return frames;
    }

    QString url; // what the port box takes; empty when something did not start

private:
    static void stop(QProcess &process)
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(3000))
            process.kill();
        process.waitForFinished(1000);
    }

    QTemporaryDir m_dir;
    QProcess m_sim;
    QProcess m_server;
};
