// What a serial device server costs the program: round trip of one command and a whole key card
// query against the standalone simulator (unpaced) on its pseudo-terminal, over TCP straight to
// the simulator, and through Debian's ser2net in raw and in RFC 2217 mode; then how long an open
// takes, and how long a failing one takes to give up.
//   build-test/bench/bench_network [PORT...]
#include "link/command_set.h"
#include "link/frame.h"
#include "network_bridge.h"
#include "platform/system_ports.h"
#include "round_trips.h"
#include "simulator_process.h"
#include "texts/language_table.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kRounds = 500;
constexpr int kQueries = 20;

void measure(const char *name, const QString &port)
{
    SystemPorts ports;
    LanguageTable languages;
    languages.LoadMisFile(QStringLiteral(PORTEVAL_LANG_DIR));
    ReaderSession session(ports, languages);
    QElapsedTimer clock;
    clock.start();
    session.run(Operation::OpenPort, { port });
    const double openMs = double(clock.nsecsElapsed()) / 1e6;
    if (!session.portOpen()) {
        std::printf("%-26s did not open: %s\n", name, qPrintable(session.lastStatus()));
        return;
    }
    const RoundTripSummary roundTrips = summarize(sessionRoundTrips(session, kRounds));
    QList<double> queries;
    for (int i = 0; i < kQueries; ++i) {
        clock.start();
        session.run(Operation::ReadKeys);
        queries << double(clock.nsecsElapsed()) / 1e6;
    }
    std::printf("%-26s open %7.1f ms | round trip median %7.1f us, p99 %7.1f us | key card "
                "query median %6.2f ms | %s\n",
                name, openMs, roundTrips.median, roundTrips.p99, summarize(queries).median,
                qPrintable(session.lastStatus()));
    session.run(Operation::ClosePort);
}

void failingOpen(const char *name, const QString &port)
{
    SystemPorts ports;
    CommControl control(ports);
    QElapsedTimer clock;
    clock.start();
    const bool opened = openForTerminal(control, *parsePortText(port));
    std::printf("%-34s %s after %7.1f ms: %s\n", name, opened ? "OPENED" : "failed",
                double(clock.nsecsElapsed()) / 1e6, qPrintable(control.errorString()));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // bench_network PORT...: only how long opening these ports takes, e.g. a host that drops
    // every packet.
    if (argc > 1) {
        for (const QString &port : app.arguments().mid(1))
            failingOpen(qPrintable(port), port);
        return 0;
    }

    std::printf("one GetInfoKeyCard, %d rounds; the key card query (16 of them), %d times\n",
                kRounds, kQueries);
    {
        SimulatorProcess sim({});
        measure("pseudo-terminal", sim.device);
    }
    const bool haveSer2net = !ser2netProgram().isEmpty();
    for (const auto &[bridge, name] :
         { std::pair { Bridge::SimulatorListening, "TCP, simulator listening" },
           std::pair { Bridge::Ser2netRaw, "ser2net raw" },
           std::pair { Bridge::Ser2netRfc2217, "ser2net RFC 2217" } }) {
        if (bridge != Bridge::SimulatorListening && !haveSer2net) {
            std::printf("%-26s skipped: ser2net is not installed\n", name);
            continue;
        }
        NetworkTerminal terminal(bridge, {});
        measure(name, terminal.url);
    }

    std::printf("opens that fail\n");
    const QString closed = QString::number(freeTcpPort());
    failingOpen("refused (closed local port), raw", QStringLiteral("tcp://127.0.0.1:") + closed);
    failingOpen("refused, RFC 2217", QStringLiteral("rfc2217://127.0.0.1:") + closed);
    failingOpen("name not found", QStringLiteral("tcp://no-such-host.invalid:4001"));
    failingOpen("unanswering host (TEST-NET-1)", QStringLiteral("tcp://192.0.2.1:4001"));
    return 0;
}
