// What keeping the history costs: one append (lock file, open, one write, flush to the disk)
// per operation, and what of it the window waits for (the writer's thread does the rest), also
// with a disk that takes 2 s to sync; reading a full file as porteval-cli history and the History
// dialog do; and 64 porteval-cli at once, each appending the records of its operation beside the
// others: records written, and lines torn (which must be none).
#include "history/history_file.h"
#include "history/history_writer.h"
#include "host.h"
#include "platform/durable_file.h"
#include "temporary_history.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <cstdio>

#include <memory>
#include <vector>

namespace {

constexpr int kAppends = 2000;
constexpr int kWriters = 64;

// A key card query as the window records it: 34 status lines.
HistoryRecord keyCardQuery()
{
    HistoryRecord record;
    record.time = QDateTime::currentDateTimeUtc();
    record.program = kProgramWindow;
    record.port = QStringLiteral("1");
    record.device = QStringLiteral("/dev/ttyUSB0");
    record.operation = QStringLiteral("read-keys");
    record.lines << QStringLiteral("GetInfoKeyCard: Esperando respuesta...");
    for (int sector = 0; sector < 16; ++sector) {
        const QString label = QStringLiteral("GetInfoKeyCard[%1]: ").arg(sector);
        record.lines << label + QStringLiteral("Esperando respuesta...")
                     << label + QStringLiteral("OK");
    }
    record.lines << QStringLiteral("GetInfoKeyCard[16]: OK");
    record.ms = 212;
    return record;
}

void appendCost(const QString &path)
{
    const HistoryFile history(path);
    const HistoryRecord record = keyCardQuery();
    QString error;
    std::vector<double> micros;
    QElapsedTimer clock;
    const double processorStart = processorSeconds();
    for (int i = 0; i < kAppends; ++i) {
        clock.start();
        if (history.append({ record }, std::chrono::seconds(5), &error)
            != HistoryFile::Appended::Yes) {
            std::printf("append failed: %s\n", qPrintable(error));
            return;
        }
        micros.push_back(double(clock.nsecsElapsed()) / 1e3);
    }
    const double processor = processorSeconds() - processorStart;
    std::sort(micros.begin(), micros.end());
    std::printf("append, one key card query record (%lld bytes) at a time, %d times: median %.0f "
                "us, 95%% within %.0f us; processor time %.0f us each\n",
                static_cast<long long>(record.toJsonLine().size() + 1), kAppends,
                micros[micros.size() / 2], micros[micros.size() * 95 / 100],
                processor * 1e6 / kAppends);

    // Grown to its roll-over size, then read whole.
    QList<HistoryRecord> batch;
    for (int i = 0; i < 500; ++i)
        batch << record;
    while (QFile(path).size() + 500 * (record.toJsonLine().size() + 1)
           <= HistoryFile::kRolloverBytes)
        history.append(batch, std::chrono::seconds(5), &error);
    clock.start();
    const qsizetype records = history.read().records.size();
    std::printf("reading %.1f MB (%lld records): %.0f ms\n", double(QFile(path).size()) / 1e6,
                static_cast<long long>(records), double(clock.nsecsElapsed()) / 1e6);
}

// The caller's side of HistoryWriter::append: what the window waits for after an operation.
void callersCost(const QString &path, int syncMs)
{
    setSyncHookForTests([syncMs](const QString &) {
        QThread::msleep(ulong(syncMs));
        return 0;
    });
    const HistoryRecord record = keyCardQuery();
    QElapsedTimer clock;
    double longest = 0;
    {
        HistoryWriter writer(path);
        for (int i = 0; i < 5; ++i) {
            clock.start();
            writer.append(record);
            longest = std::max(longest, double(clock.nsecsElapsed()) / 1e3);
        }
        clock.start();
    }
    std::printf("the window's side of an append, each sync taking %d ms: at most %.0f us; the "
                "writer done with 5 records %.0f ms later\n",
                syncMs, longest, double(clock.nsecsElapsed()) / 1e6);
    setSyncHookForTests({});
}

void concurrentWriters(const QString &path)
{
    qputenv("PORTEVAL_HISTORY", path.toLocal8Bit());
    std::vector<std::unique_ptr<QProcess>> writers;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kWriters; ++i) {
        writers.push_back(std::make_unique<QProcess>());
        writers.back()->start(QStringLiteral(PORTEVAL_CLI),
                              { QStringLiteral("read-keys"), QStringLiteral("--demo"),
                                QStringLiteral("--port"), QString::number(i + 1) });
    }
    int failed = 0;
    for (const auto &writer : writers)
        failed += !writer->waitForFinished(120000) || writer->exitCode() != 0;
    const double seconds = double(clock.nsecsElapsed()) / 1e9;

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::printf("%d writers: no history written\n", kWriters);
        return;
    }
    int written = 0;
    int torn = 0;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        if (HistoryRecord::fromJsonLine(line))
            ++written;
        else
            ++torn;
    }
    std::printf("%d porteval-cli at once, a key card query each: %d of %d records written, "
                "%d lines torn, %d runs failed, %.1f s in all\n",
                kWriters, written, kWriters, torn, failed, seconds);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    appendCost(temporaryHistoryPath() + QStringLiteral(".cost"));
    for (int syncMs : { 0, 2000 })
        callersCost(temporaryHistoryPath() + QStringLiteral(".writer%1").arg(syncMs), syncMs);
    for (int round = 1; round <= 3; ++round)
        concurrentWriters(temporaryHistoryPath() + QStringLiteral(".%1").arg(round));
    return 0;
}
