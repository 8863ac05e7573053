// A thousand key card queries against a terminal that randomly sends intermediate codes, stays
// silent, damages and splits its answers: every query ends, says how on the status line, and
// memory stays flat.
#include "reader_bench.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

qint64 residentKiB()
{
    QFile statm(u"/proc/self/statm"_s);
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * 4 : 0;
}

} // namespace

class TestSoak : public QObject
{
    Q_OBJECT

private slots:
    void thousandQueriesUnderChaos();
};

void TestSoak::thousandQueriesUnderChaos()
{
    SimOptions options;
    QString error;
    options.chaos
        = *parseSimChaos(u"seed=7,silent=0.005,corrupt=0.005,split=0.03,inter=0.01"_s, &error);
    // A 2 ms tick: a time-out takes 40 ms instead of 2 s, the budgets count the same ticks.
    ReaderBench bench(2ms, options);

    constexpr int kQueries = 1000;
    int complete = 0;
    qint64 rssAfterWarmUp = 0;
    const qint64 rssAtStart = residentKiB();
    QElapsedTimer clock;
    clock.start();
    for (int q = 0; q < kQueries; ++q) {
        bench.statusLines.clear();
        bench.terminal().clearReceivedFrames(); // the simulator's own record, not the program's
        cmdGetInfoKeyCard(bench);
        // The closing line names the sector reached and the outcome.
        const QString last = bench.statusLines.last();
        const qsizetype close = last.indexOf(u"]: "_s);
        QVERIFY2(last.startsWith(u"GetInfoKeyCard["_s) && close > 0, qPrintable(last));
        const int reached = last.mid(15, close - 15).toInt();
        const QString outcome = last.mid(close + 3);
        QVERIFY2(!outcome.isEmpty() && outcome != bench.text(30), qPrintable(last));
        QCOMPARE(reached == 16, outcome == bench.text(0));
        for (int i = 0; i < kSectors; ++i)
            QCOMPARE(bench.keys[i].isEmpty(), i >= reached);
        complete += reached == 16 ? 1 : 0;
        QCOMPARE(bench.enableCalls.last(), true);
        if (q == 99)
            rssAfterWarmUp = residentKiB();
    }
    const qint64 rssAtEnd = residentKiB();
    qInfo("%d queries in %.1f s, %d complete; RSS %lld KiB at start, %lld after 100, %lld at end",
          kQueries, double(clock.elapsed()) / 1000.0, complete, rssAtStart, rssAfterWarmUp,
          rssAtEnd);
    QVERIFY(complete > kQueries / 2);
    QVERIFY(complete < kQueries); // the chaos did bite
    QVERIFY(bench.keyCardRead);
#if !defined(__SANITIZE_ADDRESS__)
    // ASan's quarantine holds freed memory on purpose; elsewhere growth would be a leak.
    QVERIFY2(rssAtEnd - rssAfterWarmUp < 8 * 1024,
             qPrintable(QString::number(rssAtEnd - rssAfterWarmUp)));
#endif
}

QTEST_GUILESS_MAIN(TestSoak)
#include "tst_soak.moc"
