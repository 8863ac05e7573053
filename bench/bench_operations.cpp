// Wall time of whole operations against the standalone simulator pacing its bytes at 38400 baud,
// next to the wire time of the same bytes (bytes x 10 / 38400 s).
#include "commands/reader_session.h"
#include "platform/system_ports.h"
#include "simulator_process.h"
#include "texts/language_table.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <functional>

namespace {

constexpr double kBaud = 38400;

void report(const char *name, ReaderSession &session, SimulatorProcess &sim,
            const std::function<void()> &operation)
{
    const quint64 receivedBefore = session.bytesReceived();
    const qint64 sentBefore = sim.loggedCommandBytes();
    QElapsedTimer clock;
    clock.start();
    operation();
    const double wallMs = double(clock.nsecsElapsed()) / 1e6;
    const qint64 received = qint64(session.bytesReceived() - receivedBefore);
    const qint64 sent = sim.loggedCommandBytes() - sentBefore;
    const double answerWireMs = double(received) * 10.0 / kBaud * 1000.0;
    const double wireMs = double(sent + received) * 10.0 / kBaud * 1000.0;
    std::printf("%-28s wall %7.1f ms | bytes out %4lld in %4lld | wire both ways %7.1f ms, "
                "answers only %7.1f ms | goal %7.1f ms | status \"%s\"\n",
                name, wallMs, static_cast<long long>(sent), static_cast<long long>(received),
                wireMs, answerWireMs, wireMs * 1.1 + 20.0, qPrintable(session.lastStatus()));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    SystemPorts ports;
    SimulatorProcess sim({ QStringLiteral("--baud"), QStringLiteral("38400") });
    if (sim.device.isEmpty()) {
        std::printf("porteval-terminal-sim did not start\n");
        return 1;
    }
    LanguageTable languages;
    languages.LoadMisFile(QStringLiteral(PORTEVAL_LANG_DIR));
    ReaderSession session(ports, languages);
    session.run(Operation::OpenPort, { sim.device });

    std::printf(
        "simulator paces its answers at 38400 baud; the program's commands reach it at once\n");
    for (int run = 0; run < 3; ++run) {
        report("key card query", session, sim, [&] { session.run(Operation::ReadKeys); });
        report("messages card Init + Set", session, sim,
               [&] { session.run(Operation::WriteMessages); });
    }
    return 0;
}
