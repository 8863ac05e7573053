// porteval-cli on many terminals at once: the key card query on 1 and on 8 simulated terminals,
// each on its own pseudo-terminal and pacing its answers at 38400 baud, and the ratio of the
// two wall times (1.0 would be perfectly parallel). Also the start-up time of --version.
#include "simulator_process.h"
#include "temporary_history.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kTerminals = 8;
constexpr int kRuns = 5;

// Wall time of one porteval-cli run in ms, or -1 when it did not end with 0.
double runCli(const QStringList &arguments)
{
    QProcess cli;
    QElapsedTimer clock;
    clock.start();
    cli.start(QStringLiteral(PORTEVAL_CLI), arguments);
    if (!cli.waitForFinished(60000) || cli.exitStatus() != QProcess::NormalExit
        || cli.exitCode() != 0)
        return -1;
    return double(clock.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::vector<std::unique_ptr<SimulatorProcess>> terminals;
    QStringList devices;
    for (int i = 0; i < kTerminals; ++i) {
        terminals.push_back(std::make_unique<SimulatorProcess>(
            QStringList { QStringLiteral("--baud"), QStringLiteral("38400") }));
        if (terminals.back()->device.isEmpty()) {
            std::printf("porteval-terminal-sim did not start\n");
            return 1;
        }
        devices << terminals.back()->device;
    }

    std::vector<double> one;
    std::vector<double> all;
    for (int run = 0; run < kRuns; ++run) {
        one.push_back(
            runCli({ QStringLiteral("read-keys"), QStringLiteral("--port"), devices[0] }));
        all.push_back(runCli({ QStringLiteral("read-keys"), QStringLiteral("--port"),
                               devices.join(QLatin1Char(',')) }));
    }
    if (*std::min_element(one.begin(), one.end()) < 0
        || *std::min_element(all.begin(), all.end()) < 0) {
        std::printf("a key card query failed\n");
        return 1;
    }
    const double oneMs = median(one);
    const double allMs = median(all);
    std::printf("key card query, terminals paced at 38400 baud (median of %d runs):\n", kRuns);
    std::printf("  1 terminal   %7.1f ms\n  %d terminals  %7.1f ms\n  ratio        %7.2f "
                "(goal: at most 1.3)\n",
                oneMs, kTerminals, allMs, allMs / oneMs);

    std::vector<double> start;
    for (int run = 0; run < 20; ++run)
        start.push_back(runCli({ QStringLiteral("--version") }));
    std::printf("porteval-cli --version: median %.1f ms, fastest %.1f ms of 20 starts\n",
                median(start), *std::min_element(start.begin(), start.end()));
    return 0;
}
