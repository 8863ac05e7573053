#include "link/answer_parser.h"
#include "link/calc_crc16.h"
#include "link/frame.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text));
}

// An answer frame as a terminal builds it: the whole region between the markers escaped,
// the check field over the escaped region. `length` < 0 means the right one.
QByteArray answerFrame(quint8 code, const QByteArray &data, int length = -1, char header = 0x1B)
{
    const int l = length < 0 ? int(data.size()) + 8 : length;
    QByteArray region;
    region += header;
    region += '\0';
    region += char(l & 0xFF);
    region += char(l >> 8);
    region += QByteArray(3, '\0');
    region += char(code);
    region += data;
    const QByteArray escaped = escapeData(region);
    return Frame::kStart + escaped + GetCRC16(escaped) + Frame::kEnd;
}

} // namespace

class TestFrames : public QObject
{
    Q_OBJECT

private slots:
    void commandFrame_data();
    void commandFrame();
    void oversizedCommandIsRefused();
    void escaping_data();
    void escaping();
    void parseAnswer_data();
    void parseAnswer();
    void assembler_data();
    void assembler();
    void assemblerMemoryStaysBounded();
};

void TestFrames::commandFrame_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("frame");

    QTest::newRow("0x72 no data") << 0x72 << QByteArray() << hex("027281070099999944 9D03");
    QTest::newRow("0x72 00") << 0x72 << hex("00") << hex("02728108009999990050 4303");
    QTest::newRow("0x72 02 escaped, length counts one")
        << 0x72 << hex("02") << hex("0272810800999999 8082 B3A7 03");
    QTest::newRow("0x72 80 escaped") << 0x72 << hex("80") << hex("0272810800999999 8080 93E5 03");
    QTest::newRow("0x72 14, check high byte 02")
        << 0x72 << hex("14") << hex("0272810800999999 14 82F6 03");
    QTest::newRow("0x72 44, check low byte 03")
        << 0x72 << hex("44") << hex("0272810800999999 44 5883 03");
    QTest::newRow("0x72 03 escaped") << 0x72 << hex("03") << hex("0272810800999999 8083 A386 03");
    // The header goes out raw even when it holds a marker byte.
    QTest::newRow("function code 0x02 not escaped")
        << 0x02 << QByteArray() << hex("02 02 81 07 00 999999 C0FC 03");
}

void TestFrames::commandFrame()
{
    QFETCH(int, function);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, frame);
    QCOMPARE(buildCommandFrame(quint8(function), GetTermID(), data).toHex(' '), frame.toHex(' '));
}

void TestFrames::oversizedCommandIsRefused()
{
    // 7 header bytes + escaped data may cover at most 32,766 bytes.
    QCOMPARE(buildCommandFrame(0x73, GetTermID(), QByteArray(32759, 'A')).size(), 32759 + 11);
    QVERIFY(buildCommandFrame(0x73, GetTermID(), QByteArray(32760, 'A')).isEmpty());
    QVERIFY(buildCommandFrame(0x73, GetTermID(), QByteArray(16380, '\x02')).isEmpty());
}

void TestFrames::escaping_data()
{
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<QByteArray>("escaped");

    QTest::newRow("nothing to escape") << hex("0001048182FF") << hex("0001048182FF");
    QTest::newRow("markers and escape") << hex("020380") << hex("808280838080");
    QTest::newRow("escape before marker stays single") << hex("8002") << hex("80808082");
    QTest::newRow("run of escapes") << hex("808080") << hex("808080808080");
}

void TestFrames::escaping()
{
    QFETCH(QByteArray, plain);
    QFETCH(QByteArray, escaped);
    QCOMPARE(escapeData(plain).toHex(' '), escaped.toHex(' '));
    QCOMPARE(unescapeBytes(escaped).toHex(' '), plain.toHex(' '));
}

void TestFrames::parseAnswer_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("drop");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("data");

    const int accepted = int(FrameDrop::None);
    QTest::newRow("code 0, no data")
        << hex("021B00080000000000E65903") << accepted << 0 << QByteArray();
    QTest::newRow("code 5 with data")
        << answerFrame(5, "A0A1A2A3A4A5") << accepted << 5 << QByteArray("A0A1A2A3A4A5");
    QTest::newRow("data with markers round trip")
        << answerFrame(0, hex("0203808041")) << accepted << 0 << hex("0203808041");
    QTest::newRow("code 2 escaped") << answerFrame(2, {}) << accepted << 2 << QByteArray();
    QTest::newRow("letter code E") << answerFrame('E', {}) << accepted << int('E') << QByteArray();
    {
        // 80 41 is no escape pair and stays; 80 83 becomes 03.
        const QByteArray region = hex("1B000B0000000000 8041 8083");
        QTest::newRow("80 41 kept, 80 83 unescaped")
            << (Frame::kStart + region + GetCRC16(region) + Frame::kEnd) << accepted << 0
            << hex("804103");
    }
    {
        // 0x80 as the last byte before the check field has nothing to pair with.
        const QByteArray region = hex("1B0009000000000080");
        QTest::newRow("trailing 80 kept")
            << (Frame::kStart + region + GetCRC16(region) + Frame::kEnd) << accepted << 0
            << hex("80");
    }
    {
        const QByteArray region = hex("1B00080000000003");
        QTest::newRow("raw 03 as code accepted")
            << (Frame::kStart + region + GetCRC16(region) + Frame::kEnd) << accepted << 3
            << QByteArray();
    }
    QTest::newRow("length 32763 is the largest accepted")
        << answerFrame(0, QByteArray(32755, 'x')) << accepted << 0 << QByteArray(32755, 'x');

    const QByteArray good = hex("021B00080000000000E65903");
    QTest::newRow("short: 10 bytes")
        << good.left(9) + hex("03") << int(FrameDrop::Short) << 0 << QByteArray();
    QTest::newRow("short: empty") << QByteArray() << int(FrameDrop::Short) << 0 << QByteArray();
    QTest::newRow("no start marker")
        << hex("001B00080000000000E65903") << int(FrameDrop::Markers) << 0 << QByteArray();
    QTest::newRow("no end marker")
        << hex("021B00080000000000E65900") << int(FrameDrop::Markers) << 0 << QByteArray();
    QTest::newRow("bad check field")
        << hex("021B00080000000000E65A03") << int(FrameDrop::CheckField) << 0 << QByteArray();
    QTest::newRow("check field of unescaped bytes") << [] {
        const QByteArray region = hex("1B00090000000000 8083");
        return Frame::kStart + region + GetCRC16(unescapeBytes(region)) + Frame::kEnd;
    }() << int(FrameDrop::CheckField) << 0 << QByteArray();
    QTest::newRow("second byte not 1B")
        << answerFrame(0, {}, -1, 0x1C) << int(FrameDrop::Header) << 0 << QByteArray();
    QTest::newRow("length one too large")
        << answerFrame(0, "AB", 11) << int(FrameDrop::Length) << 0 << QByteArray();
    QTest::newRow("length one too small")
        << answerFrame(0, "AB", 9) << int(FrameDrop::Length) << 0 << QByteArray();
    {
        const QByteArray region = hex("1B00070000000000");
        QTest::newRow("length 7, no room for a code")
            << (Frame::kStart + region.left(7) + GetCRC16(region.left(7)) + Frame::kEnd)
            << int(FrameDrop::Length) << 0 << QByteArray();
    }
    QTest::newRow("length 32764 dropped")
        << answerFrame(0, QByteArray(32756, 'x')) << int(FrameDrop::Length) << 0 << QByteArray();
    QTest::newRow("beyond the check field's reach")
        << answerFrame(0, QByteArray(40000, 'x')) << int(FrameDrop::TooLong) << 0 << QByteArray();
}

void TestFrames::parseAnswer()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, drop);
    QFETCH(int, code);
    QFETCH(QByteArray, data);

    const ParsedAnswer answer = ParseAnswer(frame);
    QCOMPARE(frameDropName(answer.drop), frameDropName(FrameDrop(drop)));
    if (answer.accepted()) {
        QCOMPARE(int(answer.code), code);
        QCOMPARE(answer.data.toHex(' '), data.toHex(' '));
    }
}

void TestFrames::assembler_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<int>("parses");
    QTest::addColumn<QByteArrayList>("accepted"); // code byte followed by data, per accepted frame

    const QByteArray ok = hex("021B00080000000000E65903");
    QTest::newRow("one answer") << ok << 1 << QByteArrayList { hex("00") };
    QTest::newRow("garbage before start marker")
        << hex("FFFE0003") + ok << 2 << QByteArrayList { hex("00") };
    QTest::newRow("garbage after end marker is appended, then dropped at next 03")
        << ok + hex("AA03") << 2 << QByteArrayList { hex("00") };
    QTest::newRow("two answers back to back") << answerFrame(5, {}) + answerFrame(0, "K") << 2
                                              << QByteArrayList { hex("05"), hex("004B") };
    {
        // An unescaped 0x03 inside: the partial frame is dropped, the whole one accepted.
        const QByteArray region = hex("1B000A00000000000341");
        const QByteArray frame = Frame::kStart + region + GetCRC16(region) + Frame::kEnd;
        QTest::newRow("raw 03 in data") << frame << 2 << QByteArrayList { hex("000341") };
    }
    {
        const QByteArray region = hex("1B00080000000003");
        QTest::newRow("raw code 3: one dropped parse, then accepted") << Frame::kStart + region
                + GetCRC16(region) + Frame::kEnd << 2 << QByteArrayList { hex("03") };
    }
    {
        // A raw 02 starts a new frame there: the answer is lost.
        const QByteArray region = hex("1B00080000000002");
        QTest::newRow("raw code 2 lost")
            << Frame::kStart + region + GetCRC16(region) + Frame::kEnd << 1 << QByteArrayList {};
    }
    QTest::newRow("restart in the middle") << ok.left(5) + ok << 1 << QByteArrayList { hex("00") };
}

void TestFrames::assembler()
{
    QFETCH(QByteArray, stream);
    QFETCH(int, parses);
    QFETCH(QByteArrayList, accepted);

    FrameAssembler assembler;
    int parsed = 0;
    QByteArrayList got;
    for (char b : stream) {
        if (const auto answer = assembler.feed(b)) {
            ++parsed;
            if (answer->accepted())
                got << QByteArray(1, char(answer->code)) + answer->data;
        }
    }
    QCOMPARE(parsed, parses);
    QCOMPARE(got, accepted);
}

void TestFrames::assemblerMemoryStaysBounded()
{
    FrameAssembler assembler;
    int drops = 0;
    for (int i = 0; i < 100000; ++i) {
        if (auto answer = assembler.feed(i % 1000 == 999 ? Frame::kEnd : 'x'))
            drops += answer->accepted() ? 0 : 1;
    }
    QCOMPARE(drops, 100);
    QVERIFY(assembler.collected().size() <= kMaxCheckedBytes + 5);
    // A start marker still begins a fresh frame afterwards.
    for (char b : hex("021B00080000000000E65903")) {
        if (auto answer = assembler.feed(b))
            QVERIFY(answer->accepted());
    }
}

QTEST_APPLESS_MAIN(TestFrames)
#include "tst_frames.moc"
