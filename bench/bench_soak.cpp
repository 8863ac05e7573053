// Many key card queries through a session, in demo mode, against a simulated terminal that
// randomly sends intermediate codes, stays silent, damages and splits its answers: how many
// complete, how long they take, and whether memory stays flat.
#include "commands/reader_session.h"
#include "link/command_set.h"
#include "resident_memory.h"
#include "sim/demo_ports.h"
#include "texts/language_table.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace {

constexpr int kQueries = 2000;

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    SimOptions options;
    options.chaos = *parseSimChaos(
        QStringLiteral("seed=7,silent=0.005,corrupt=0.005,split=0.03,inter=0.01"), nullptr);
    DemoPorts ports(options);
    LanguageTable languages;
    languages.LoadMisFile(QStringLiteral(PORTEVAL_LANG_DIR));
    ReaderSession session(ports, languages);
    session.keepSteps(false); // as the window runs it, for days
    session.setTickInterval(std::chrono::milliseconds(2)); // a time-out takes 40 ms
    session.run(Operation::OpenPort, { QStringLiteral("1") });

    const qint64 rssAtStart = residentKiB();
    qint64 rssAfterWarmUp = 0;
    int complete = 0;
    QElapsedTimer clock;
    clock.start();
    for (int q = 0; q < kQueries; ++q) {
        complete += session.run(Operation::ReadKeys) == Resp::Success ? 1 : 0;
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
