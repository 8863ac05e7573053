// Wall time of whole operations against the standalone simulator pacing its bytes at 38400 baud,
// next to the wire time of the same bytes (bytes x 10 / 38400 s).
#include "platform/system_ports.h"
#include "simulator_process.h"
#include "temporary_history.h"
#include "window/frm_config_porteval.h"
#include "window/resources/resources.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cstdio>
#include <functional>

namespace {

constexpr double kBaud = 38400;

void report(const char *name, frmConfigPorteval &window, SimulatorProcess &sim,
            const std::function<void()> &operation)
{
    qint64 received = 0;
    const QMetaObject::Connection counting
        = QObject::connect(&window.ctlMSComm1, &CommControl::OnComm, &window, [&] { ++received; });
    const qint64 sentBefore = sim.loggedCommandBytes();
    QElapsedTimer clock;
    clock.start();
    operation();
    const double wallMs = double(clock.nsecsElapsed()) / 1e6;
    QObject::disconnect(counting);
    const qint64 sent = sim.loggedCommandBytes() - sentBefore;
    const double answerWireMs = double(received) * 10.0 / kBaud * 1000.0;
    const double wireMs = double(sent + received) * 10.0 / kBaud * 1000.0;
    std::printf("%-28s wall %7.1f ms | bytes out %4lld in %4lld | wire both ways %7.1f ms, "
                "answers only %7.1f ms | goal %7.1f ms | status \"%s\"\n",
                name, wallMs, static_cast<long long>(sent), static_cast<long long>(received),
                wireMs, answerWireMs, wireMs * 1.1 + 20.0, qPrintable(window.txtStatus->text()));
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    initPortevalResources();
    SystemPorts ports;
    SimulatorProcess sim({ QStringLiteral("--baud"), QStringLiteral("38400") });
    if (sim.device.isEmpty()) {
        std::printf("porteval-terminal-sim did not start\n");
        return 1;
    }
    frmConfigPorteval window(ports, QStringLiteral(PORTEVAL_LANG_DIR), temporaryHistoryPath());
    window.cEditCfg1->setText(sim.device);
    window.cmdOpenCOM->click();

    std::printf(
        "simulator paces its answers at 38400 baud; the program's commands reach it at once\n");
    for (int run = 0; run < 3; ++run) {
        report("key card query", window, sim, [&] { window.cmdGetInfoKeyCard_Click(); });
        report("messages card Init + Set", window, sim, [&] { window.cmdCfgMis_Click(0); });
    }
    return 0;
}
