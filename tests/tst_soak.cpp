// Key card queries against a terminal that randomly sends intermediate codes, stays silent,
// damages and splits its answers: every query ends, and says how on the status line.
// (bench/bench_soak runs the same for longer and prints the memory it uses.)
#include "test_support.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

class TestSoak : public QObject
{
    Q_OBJECT

private slots:
    void queriesUnderChaos()
    {
        SimOptions options;
        options.chaos
            = *parseSimChaos(u"seed=7,silent=0.01,corrupt=0.01,split=0.1,inter=0.05"_s, nullptr);
        ReaderBench bench(2ms, options); // a time-out takes 40 ms
        int complete = 0;
        for (int q = 0; q < 100; ++q) {
            cmdGetInfoKeyCard(bench.session);
            // The closing line names the sector reached and the outcome.
            const QString last = bench.session.lastStatus();
            const qsizetype close = last.indexOf(u"]: "_s);
            QVERIFY2(last.startsWith(u"GetInfoKeyCard["_s) && close > 0, qPrintable(last));
            const int reached = last.mid(15, close - 15).toInt();
            const QString outcome = last.mid(close + 3);
            QVERIFY2(outcome != bench.GetMisResp(30), qPrintable(last));
            QCOMPARE(reached == 16, outcome == bench.GetMisResp(0));
            for (int i = 0; i < kSectors; ++i)
                QCOMPARE(bench.values.keys[i].isEmpty(), i >= reached);
            QCOMPARE(bench.enableCalls().last(), true);
            complete += reached == 16 ? 1 : 0;
        }
        QVERIFY2(complete > 10 && complete < 100, qPrintable(QString::number(complete)));
    }
};

QTEST_GUILESS_MAIN(TestSoak)
#include "tst_soak.moc"
