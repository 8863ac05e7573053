// What the technician's diagnosis costs: bytes a second the window reads from a pseudo-terminal
// pouring junk, with the frame monitor closed and open; and the time from a device going away
// in the middle of a wait to the status line that says so.
#include "platform/system_ports.h"
#include "resident_memory.h"
#include "simulator_process.h"
#include "temporary_history.h"
#include "texts/message_numbers.h"
#include "window/frame_monitor.h"
#include "window/frame_monitor_model.h"
#include "window/frm_config_porteval.h"
#include "window/resources/resources.h"
#include "window_controls.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace {

constexpr int kSeconds = 3;

// Bytes received in kSeconds, the program at rest in its event loop meanwhile, and the processor
// time this program spent on each MB of them: a figure that a loaded machine disturbs less.
struct Junk
{
    double rate = 0;
    double processorMsPerMB = 0;
};

Junk junkRate(const frmConfigPorteval &window)
{
    const quint64 before = window.session().bytesReceived();
    const std::clock_t start = std::clock();
    QEventLoop loop;
    QTimer::singleShot(kSeconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const double received = double(window.session().bytesReceived() - before);
    const double processorMs = double(std::clock() - start) * 1000 / CLOCKS_PER_SEC;
    return { received / kSeconds, processorMs / (received / 1e6) };
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    initPortevalResources();
    SystemPorts ports;

    SimulatorProcess junk({ QStringLiteral("--junk") });
    if (junk.device.isEmpty()) {
        std::printf("porteval-terminal-sim did not start\n");
        return 1;
    }
    frmConfigPorteval window(ports, QStringLiteral(PORTEVAL_LANG_DIR), temporaryHistoryPath());
    const WindowControls c(window);
    c.cEditCfg1->setText(junk.device);
    c.cmdOpenCOM->click();
    std::printf("junk pouring into the port, %d s each:\n", kSeconds);
    const Junk closedJunk = junkRate(window);
    const double closed = closedJunk.rate;
    std::printf("  monitor closed  %6.2f MB/s  (%.0f ms processor a MB; RSS %lld KiB)\n",
                closed / 1e6, closedJunk.processorMsPerMB, static_cast<long long>(residentKiB()));
    c.actionMonitor->trigger();
    for (int round = 1; round <= 2; ++round) {
        const double open = junkRate(window).rate;
        window.frameMonitor()->model().flush();
        std::printf(
            "  monitor open    %6.2f MB/s  (%.0f%% of closed; %d rows kept; RSS %lld KiB)\n",
            open / 1e6, 100.0 * open / closed, window.frameMonitor()->model().rowCount(),
            static_cast<long long>(residentKiB()));
    }
    window.frameMonitor()->close();
    c.cmdCloseCOM->click();

    // A terminal that never answers sector 3; the simulator is killed half a second into that
    // wait, as an adapter is pulled.
    std::printf("device gone in the middle of a wait:\n");
    for (int run = 0; run < 3; ++run) {
        auto sim = std::make_unique<SimulatorProcess>(QStringList {
            QStringLiteral("--on"), QStringLiteral("0x72:3"), QStringLiteral("silent") });
        c.cEditCfg1->setText(sim->device);
        c.cmdOpenCOM->click();
        QElapsedTimer sinceGone;
        QTimer::singleShot(500, &window, [&] {
            sim.reset(); // SIGTERM: the pseudo-terminal's master side closes
            sinceGone.start();
        });
        c.cmdGetInfoKeyCard->click();
        const bool said = c.txtStatus->text() == window.languages().GetMis(Mis::PortLost);
        std::printf("  status line %s %.1f ms after the device went\n",
                    said ? "said \"port lost\"" : "did NOT say \"port lost\"",
                    double(sinceGone.nsecsElapsed()) / 1e6);
    }
    return 0;
}
