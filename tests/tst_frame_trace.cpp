// The frame trace: off unless asked for, every frame in hex with its command name, drops with
// their reason, and key bytes masked unless the user wants to see them.
#include "commands/cards.h"
#include "link/frame_trace.h"
#include "reader_bench.h"

#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

QStringList captured;

void capture(QtMsgType, const QMessageLogContext &context, const QString &message)
{
    if (QLatin1String(context.category) == QLatin1String("porteval.link"))
        captured << message;
}

QStringList linesWith(const QString &needle)
{
    QStringList found;
    for (const QString &line : std::as_const(captured)) {
        if (line.contains(needle))
            found << line;
    }
    return found;
}

} // namespace

class TestFrameTrace : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qInstallMessageHandler(capture); }
    void init() { captured.clear(); }
    void cleanup()
    {
        QLoggingCategory::setFilterRules(QString());
        qunsetenv("PORTEVAL_TRACE_KEYS");
    }
    void maskedHex_data();
    void maskedHex();
    void offByDefault();
    void framesAndDrops();
    void keysShownWhenAsked();
};

void TestFrameTrace::maskedHex_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("first"); // first masked data byte, -1 for none
    QTest::addColumn<int>("last");
    QTest::addColumn<QString>("hex");

    const QByteArray frame = QByteArray::fromHex("0273810A00999999 8082 41 8083 42 AAAA 03");
    QTest::newRow("nothing masked")
        << frame << -1 << -1 << u"02 73 81 0A 00 99 99 99 80 82 41 80 83 42 AA AA 03"_s;
    QTest::newRow("an escape pair is one data byte")
        << frame << 0 << 0 << u"02 73 81 0A 00 99 99 99 ** ** 41 80 83 42 AA AA 03"_s;
    QTest::newRow("range across a pair")
        << frame << 1 << 2 << u"02 73 81 0A 00 99 99 99 80 82 ** ** ** 42 AA AA 03"_s;
    QTest::newRow("check field never masked")
        << frame << 0 << 99 << u"02 73 81 0A 00 99 99 99 ** ** ** ** ** ** AA AA 03"_s;
}

void TestFrameTrace::maskedHex()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(QString, hex);
    const auto [from, to] = first < 0
        ? std::pair<qsizetype, qsizetype>()
        : FrameTrace::dataSpan(frame, 8, frame.size() - 3, first, last);
    const QString masked = FrameTrace::maskedHex(frame, from, to);
    QCOMPARE(masked, hex);
}

void TestFrameTrace::offByDefault()
{
    ReaderBench bench;
    cmdGetInfoKeyCard(bench);
    QVERIFY(captured.isEmpty());
}

void TestFrameTrace::framesAndDrops()
{
    QLoggingCategory::setFilterRules(u"porteval.link.debug=true"_s);
    ReaderBench bench(10ms);
    bench.terminal().addRule(*parseSimRule(u"0x72:0 badcrc then answer"_s, nullptr));
    bench.terminal().addRule(*parseSimRule(u"0x72:1 longlen"_s, nullptr));
    cmdGetInfoKeyCard(bench);

    const QStringList sent = linesWith(u"-> GetInfoKeyCard"_s);
    QCOMPARE(sent.size(), 2);
    QVERIFY(
        QRegularExpression(
            u"^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d -> GetInfoKeyCard 02 72 81 08 00 99 99 99 00 50 43 03$"_s)
            .match(sent[0])
            .hasMatch());
    QCOMPARE(linesWith(u"dropped (check field)"_s).size(), 1);
    QCOMPARE(linesWith(u"dropped (length)"_s).size(), 1);
    QCOMPARE(linesWith(u"no answer in time to GetInfoKeyCard"_s).size(), 1);
    // The key query's answer is the key itself: masked.
    const QStringList accepted = linesWith(u"<- GetInfoKeyCard code 0"_s);
    QCOMPARE(accepted.size(), 1);
    QVERIFY(accepted[0].contains(u"** ** ** ** ** ** ** ** ** ** ** **"_s));
    QVERIFY(!accepted[0].contains(u"41 30 41 31"_s));

    captured.clear();
    bench.keys[1] = u"A1B2C3D4E5F6"_s;
    cmdCfgMaster(bench, 1);
    const QStringList download = linesWith(u"-> DownloadKeys"_s);
    QCOMPARE(download.size(), 1);
    QCOMPARE(download[0].count(u"**"_s), 96);
    const QStringList block = linesWith(u"-> SetCfgCard"_s);
    QCOMPARE(block.size(), 1);
    // 02 00 69 00 00 02 03 00 00 key 00 02 sum, escaped on the wire.
    QVERIFY(block[0].contains(u"80 82 00 69 00 00 80 82 80 83 00 00 ** ** ** ** ** ** 00 80 82"_s));
    QVERIFY(!block[0].contains(u"A1 B2 C3"_s));
}

void TestFrameTrace::keysShownWhenAsked()
{
    QLoggingCategory::setFilterRules(u"porteval.link.debug=true"_s);
    qputenv("PORTEVAL_TRACE_KEYS", "1");
    ReaderBench bench;
    bench.keys[1] = u"A1B2C3D4E5F6"_s;
    cmdCfgMaster(bench, 1);
    QCOMPARE(linesWith(u"-> SetCfgCard"_s).size(), 1);
    QVERIFY(linesWith(u"-> SetCfgCard"_s)[0].contains(u"A1 B2 C3 D4 E5 F6"_s));
    QCOMPARE(linesWith(u"-> DownloadKeys"_s)[0].count(u"**"_s), 0);
}

QTEST_GUILESS_MAIN(TestFrameTrace)
#include "tst_frame_trace.moc"
