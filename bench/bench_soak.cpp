// Many key card queries through the window, in demo mode, against a simulated terminal that
// randomly sends intermediate codes, stays silent, damages and splits its answers: how many
// complete, how long they take, and whether memory stays flat.
#include "resident_memory.h"
#include "sim/demo_ports.h"
#include "temporary_history.h"
#include "window/frm_config_porteval.h"
#include "window/resources/resources.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>

#include <cstdio>

namespace {

constexpr int kQueries = 2000;

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    initPortevalResources();
    SimOptions options;
    options.chaos = *parseSimChaos(
        QStringLiteral("seed=7,silent=0.005,corrupt=0.005,split=0.03,inter=0.01"), nullptr);
    DemoPorts ports(options);
    frmConfigPorteval window(ports, QStringLiteral(PORTEVAL_LANG_DIR), temporaryHistoryPath());
    window.Timer1.setInterval(std::chrono::milliseconds(2)); // a time-out takes 40 ms
    window.cmdOpenCOM->click();

    const qint64 rssAtStart = residentKiB();
    qint64 rssAfterWarmUp = 0;
    int complete = 0;
    QElapsedTimer clock;
    clock.start();
    const QString done = QStringLiteral("GetInfoKeyCard[16]: ") + window.GetMisResp(0);
    for (int q = 0; q < kQueries; ++q) {
        window.cmdGetInfoKeyCard_Click();
        complete += window.txtStatus->text() == done ? 1 : 0;
        if (q == kQueries / 10)
            rssAfterWarmUp = residentKiB();
    }
    std::printf("%d key card queries in %.1f s, %d complete (%.1f ms a query)\n", kQueries,
                double(clock.elapsed()) / 1000.0, complete, double(clock.elapsed()) / kQueries);
    const qint64 rssAtEnd = residentKiB();
    std::printf("resident memory: %lld KiB at start, %lld after %d queries, %lld at the end "
                "(%+lld KiB since the warm-up)\n",
                static_cast<long long>(rssAtStart), static_cast<long long>(rssAfterWarmUp),
                kQueries / 10, static_cast<long long>(rssAtEnd),
                static_cast<long long>(rssAtEnd - rssAfterWarmUp));
    return 0;
}
