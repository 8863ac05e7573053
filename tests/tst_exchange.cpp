// One command and its answer against the simulated terminal: what ends a wait, what it shows
// on the way, what it leaves in the caller's data, and what it costs.
#include "link/calc_crc16.h"
#include "link/command_set.h"
#include "link/frame.h"
#include "reader_bench.h"

#include <QElapsedTimer>
#include <QTest>

#include <ctime>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

// Sector 4's key query; the caller's answer buffer starts with a marker that must survive
// every failure.
quint8 queryKey(ReaderBench &bench, QByteArray &answer)
{
    QString termId = GetTermID();
    QByteArray data(1, '\x04');
    answer = "untouched";
    return bench.SendCom_RebAns(Cmd::GetInfoKeyCard, termId, data, answer);
}

} // namespace

class TestExchange : public QObject
{
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
    void timeOutAfterAboutTwoSecondsWithoutSpinning();
    void intermediateCodeRenewsTheBudget();
    void portNotOpen();
    void sendCommandRewritesItsArguments();
    void lastTickAndIntermediateCodeInOnePass();
    void answerOutsideAWaitIsResetByTheNext();
    void abortEndsTheWait();
};

void TestExchange::answers_data()
{
    QTest::addColumn<QString>("ruleText");
    QTest::addColumn<int>("result");
    QTest::addColumn<QList<int>>("shown"); // intermediate codes put on the status line
    QTest::addColumn<bool>("dataFilled");

    using L = QList<int>;
    QTest::newRow("plain answer") << u"0x72 answer"_s << 0 << L {} << true;
    QTest::newRow("intermediate codes, then the answer")
        << u"0x72 inter=5,6 then answer"_s << 0 << L { 5, 6 } << true;
    QTest::newRow("intermediate 29 has no text of its own")
        << u"0x72 inter=29 then answer"_s << 0 << L { 29 } << true;
    QTest::newRow("code 30 changes nothing") << u"0x72 wait then answer"_s << 0 << L {} << true;
    QTest::newRow("code 30 alone times out") << u"0x72 wait"_s << 31 << L {} << false;
    QTest::newRow("final error") << u"0x72 code=K"_s << int('K') << L {} << false;
    QTest::newRow("code 31 from the terminal") << u"0x72 code=31"_s << 31 << L {} << false;
    QTest::newRow("bad check field dropped") << u"0x72 badcrc"_s << 31 << L {} << false;
    QTest::newRow("second byte not 1B dropped") << u"0x72 badheader"_s << 31 << L {} << false;
    QTest::newRow("length one too large dropped") << u"0x72 longlen"_s << 31 << L {} << false;
    QTest::newRow("bad frame, then a good one")
        << u"0x72 badcrc then answer"_s << 0 << L {} << true;
    QTest::newRow("unescaped 03 inside accepted") << u"0x72 raw03"_s << 0 << L {} << true;
    QTest::newRow("unescaped code 3 is an intermediate code")
        << u"0x72 code=3 rawcode then answer"_s << 0 << L { 3 } << true;
    QTest::newRow("unescaped code 2 is lost") << u"0x72 code=2 rawcode"_s << 31 << L {} << false;
    QTest::newRow("split frame") << u"0x72 split=4 chunkgap=3"_s << 0 << L {} << true;
}

void TestExchange::answers()
{
    QFETCH(QString, ruleText);
    QFETCH(int, result);
    QFETCH(QList<int>, shown);
    QFETCH(bool, dataFilled);

    ReaderBench bench(10ms);
    QVERIFY(bench.terminal().addRule(ruleText));
    QByteArray answer;
    QCOMPARE(int(queryKey(bench, answer)), result);
    QStringList expected;
    for (int code : shown)
        expected << bench.text(quint8(code));
    QCOMPARE(bench.statusLines, expected);
    QCOMPARE(answer, dataFilled ? bench.terminal().keys()[4].toLatin1() : QByteArray("untouched"));
}

void TestExchange::timeOutAfterAboutTwoSecondsWithoutSpinning()
{
    ReaderBench bench; // the window's own 100 ms tick
    QVERIFY(bench.terminal().addRule(u"0x72 silent"_s));
    QElapsedTimer clock;
    clock.start();
    const std::clock_t cpuBefore = std::clock();
    QByteArray answer;
    QCOMPARE(int(queryKey(bench, answer)), 31);
    const double cpuSeconds = double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
    QVERIFY2(clock.elapsed() >= 1800 && clock.elapsed() < 6000,
             qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(cpuSeconds < 0.5, qPrintable(QString::number(cpuSeconds)));
    QCOMPARE(answer, QByteArray("untouched"));
    QCOMPARE(int(bench.link.bRespReb), 31);
}

void TestExchange::intermediateCodeRenewsTheBudget()
{
    ReaderBench bench(5ms); // 20 ticks = 0.1 s, 150 ticks = 0.75 s
    QVERIFY(bench.terminal().addRule(u"0x72 inter=4"_s));
    QElapsedTimer clock;
    clock.start();
    QByteArray answer;
    QCOMPARE(int(queryKey(bench, answer)), 31);
    QVERIFY2(clock.elapsed() >= 700, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(bench.statusLines, QStringList { bench.text(4) });
}

void TestExchange::portNotOpen()
{
    ReaderBench bench;
    bench.portOpen = false;
    QElapsedTimer clock;
    clock.start();
    QByteArray answer;
    QCOMPARE(int(queryKey(bench, answer)), 255);
    QVERIFY(clock.elapsed() < 1000); // no wait at all, where a wait is 2 s
    QCOMPARE(answer, QByteArray("untouched"));
    QTest::qWait(50);
    QVERIFY(bench.terminal().receivedFrames().isEmpty());
}

void TestExchange::sendCommandRewritesItsArguments()
{
    ReaderBench bench;
    for (bool open : { true, false }) {
        bench.portOpen = open;
        QString termId = GetTermID();
        QByteArray data = QByteArray::fromHex("02038041");
        QCOMPARE(int(bench.SendCommand(Cmd::DownloadKeys, termId, data)), open ? 0 : 255);
        QCOMPARE(termId, u"\u0099\u0099\u0099"_s);
        QCOMPARE(data, QByteArray::fromHex("808280838080 41"));
    }
    QTRY_COMPARE(bench.terminal().receivedFrames().size(), 1);
    QCOMPARE(bench.terminal().receivedFrames()[0].data, QByteArray::fromHex("02038041"));
}

// The count-down is tested before an intermediate code is shown: when the last tick and the
// code arrive in the same pass, the code is returned without being shown.
void TestExchange::lastTickAndIntermediateCodeInOnePass()
{
    ReaderBench bench(1h); // no tick of its own
    QVERIFY(bench.terminal().addRule(u"0x72 silent"_s));
    QTimer::singleShot(0, &bench.device, [&bench] {
        bench.link.iTimeOut = 1;
        const QByteArray frame = QByteArray::fromHex("021B00080000000005");
        const QByteArray region = frame.mid(1);
        for (char b : frame + GetCRC16(region) + Frame::kEnd)
            bench.link.receiveByte(b);
        bench.link.Timer1_Timer();
    });
    QByteArray answer;
    QCOMPARE(int(queryKey(bench, answer)), 5);
    QVERIFY(bench.statusLines.isEmpty());
    QCOMPARE(answer, QByteArray("untouched"));
}

void TestExchange::answerOutsideAWaitIsResetByTheNext()
{
    ReaderBench bench(10ms);
    for (char b : QByteArray::fromHex("021B00080000000045")
             + GetCRC16(QByteArray::fromHex("1B00080000000045")) + Frame::kEnd) {
        bench.link.receiveByte(b);
    }
    QCOMPARE(int(bench.link.bRespReb), int('E'));
    QVERIFY(bench.terminal().addRule(u"0x72 silent"_s));
    QByteArray answer;
    QCOMPARE(int(queryKey(bench, answer)), 31);
    QVERIFY(bench.link.sDataAns.isEmpty());
}

void TestExchange::abortEndsTheWait()
{
    ReaderBench bench;
    QVERIFY(bench.terminal().addRule(u"0x72 silent"_s));
    QTimer::singleShot(50, &bench.device, [&bench] { bench.link.abortWaits(); });
    QElapsedTimer clock;
    clock.start();
    QByteArray answer;
    QCOMPARE(int(queryKey(bench, answer)), 31);
    QVERIFY(clock.elapsed() < 1500); // a full wait is 2 s
    // Later waits end at once too.
    clock.restart();
    QCOMPARE(int(queryKey(bench, answer)), 31);
    QVERIFY(clock.elapsed() < 1000);
}

QTEST_GUILESS_MAIN(TestExchange)
#include "tst_exchange.moc"
