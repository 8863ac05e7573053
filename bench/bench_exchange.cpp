// What one command costs the program: round-trip time against the standalone simulator on an
// unpaced pseudo-terminal, next to the same exchange done with a bare QSerialPort, and the
// processor time a 2-second time-out wait uses.
#include "link/command_set.h"
#include "link/frame.h"
#include "platform/system_ports.h"
#include "round_trips.h"
#include "sim/terminal_engine.h"
#include "simulator_process.h"
#include "texts/language_table.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSerialPort>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kRounds = 500;

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QList<double> bareRoundTrips(const QString &device)
{
    QSerialPort port(device);
    port.setBaudRate(38400);
    port.open(QIODevice::ReadWrite);
    const QByteArray command
        = buildCommandFrame(Cmd::GetInfoKeyCard, GetTermID(), QByteArray(1, '\0'));
    const qsizetype answerSize = buildAnswerFrame(0, QByteArray("A0A1A2A3A4A0")).size();
    QList<double> micros;
    QElapsedTimer clock;
    for (int i = 0; i < kRounds + 20; ++i) {
        clock.start();
        port.write(command);
        qsizetype got = 0;
        while (got < answerSize && port.waitForReadyRead(2000))
            got += port.readAll().size();
        if (i >= 20)
            micros << double(clock.nsecsElapsed()) / 1000.0;
    }
    return micros;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    SystemPorts ports;

    SimulatorProcess sim(
        { QStringLiteral("--on"), QStringLiteral("0x72:9"), QStringLiteral("silent") });
    if (sim.device.isEmpty()) {
        std::printf("porteval-terminal-sim did not start\n");
        return 1;
    }
    const RoundTripSummary bare = summarize(bareRoundTrips(sim.device));

    LanguageTable languages;
    languages.LoadMisFile(QStringLiteral(PORTEVAL_LANG_DIR));
    ReaderSession session(ports, languages);
    session.openPort(sim.device);
    const RoundTripSummary full = summarize(sessionRoundTrips(session, kRounds));

    std::printf("round trip of one GetInfoKeyCard on an unpaced pty, %d rounds (microseconds)\n",
                kRounds);
    std::printf("  bare QSerialPort   median %8.1f  p99 %8.1f  mean %8.1f\n", bare.median, bare.p99,
                bare.mean);
    std::printf("  porteval exchange  median %8.1f  p99 %8.1f  mean %8.1f\n", full.median, full.p99,
                full.mean);
    std::printf("  added by porteval  median %8.1f us\n", full.median - bare.median);

    QString termId = GetTermID();
    QByteArray data(1, '\x09');
    QByteArray answer;
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = cpuSeconds();
    const quint8 r = session.SendCom_RebAns(Cmd::GetInfoKeyCard, termId, data, answer);
    std::printf("time-out wait: result %d after %.2f s, processor time %.4f s\n", r,
                double(clock.elapsed()) / 1000.0, cpuSeconds() - cpuBefore);
    return 0;
}
