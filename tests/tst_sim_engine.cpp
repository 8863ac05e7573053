#include "link/answer_parser.h"
#include "link/calc_crc16.h"
#include "link/command_set.h"
#include "link/frame.h"
#include "sim/sim_rules.h"
#include "sim/simulated_device.h"
#include "sim/terminal_engine.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(SimCommandLine)

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text));
}

QByteArray command(quint8 code, const QByteArray &data)
{
    return buildCommandFrame(code, GetTermID(), data);
}

QByteArray keyQuery(int sector)
{
    return command(Cmd::GetInfoKeyCard, QByteArray(1, char(sector)));
}

QByteArray blockWrite(int block)
{
    return command(Cmd::SetCfgCard, QByteArray(1, 0x02) + char(block) + QByteArray(16, 'b'));
}

// Assembled here rather than by buildCommandFrame, so that a header holding marker bytes
// is certain to go out raw.
QByteArray handFrame(quint8 code, const QByteArray &data)
{
    const int length = int(data.size()) + 7;
    QByteArray body;
    body += char(code);
    body += char(0x81);
    body += char(length & 0xFF);
    body += char(length >> 8);
    body += hex("999999");
    body += escapeData(data);
    return QByteArray(1, 0x02) + body + GetCRC16(body) + QByteArray(1, 0x03);
}

QByteArray defaultKeyDownload()
{
    QByteArray keys;
    for (const QString &key : defaultSimKeys())
        keys += HexToBin(key);
    return keys;
}

// The program's end of the line: every byte the terminal sends, cut into frames the way
// the program cuts them.
class ProgramSide : public QObject
{
public:
    explicit ProgramSide(TerminalSimulator &terminal)
    {
        m_clock.start();
        connect(&terminal, &TerminalSimulator::transmit, this, [this](const QByteArray &bytes) {
            chunks.append(bytes);
            received += bytes;
            for (char byte : bytes) {
                const auto parsed = m_assembler.feed(byte);
                if (!parsed)
                    continue;
                if (parsed->accepted()) {
                    accepted.append(*parsed);
                    acceptedAtMs.append(m_clock.elapsed());
                } else {
                    drops.append(int(parsed->drop));
                }
            }
        });
    }

    QList<int> acceptedCodes() const
    {
        QList<int> codes;
        for (const ParsedAnswer &answer : accepted)
            codes.append(answer.code);
        return codes;
    }

    QList<QByteArray> chunks;
    QByteArray received;
    QList<ParsedAnswer> accepted;
    QList<qint64> acceptedAtMs;
    QList<int> drops; // FrameDrop values

private:
    FrameAssembler m_assembler;
    QElapsedTimer m_clock;
};

QList<QByteArray> cut(const QByteArray &bytes, int chunkSize)
{
    if (chunkSize <= 0)
        return { bytes };
    QList<QByteArray> pieces;
    for (qsizetype i = 0; i < bytes.size(); i += chunkSize)
        pieces.append(bytes.mid(i, chunkSize));
    return pieces;
}

} // namespace

class TestSimEngine : public QObject
{
    Q_OBJECT

private slots:
    void defaultAnswers_data();
    void defaultAnswers();
    void memory_data();
    void memory();
    void rawHeaderFrames_data();
    void rawHeaderFrames();
    void badCommandFrames_data();
    void badCommandFrames();
    void rules_data();
    void rules();
    void gapsAndDelay_data();
    void gapsAndDelay();
    void vanish();
    void pacing_data();
    void pacing();
    void chaos_data();
    void chaos();
    void chaosIsReproducible();
    void parseRule_data();
    void parseRule();
    void parseRuleErrors_data();
    void parseRuleErrors();
    void parseArguments_data();
    void parseArguments();
    void parseArgumentErrors_data();
    void parseArgumentErrors();
    void deviceRoundTrip();
    void deviceMissing();
    void deviceVanishes();
    void deviceCloseDropsPendingAnswer();
};

void TestSimEngine::defaultAnswers_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("exact"); // the answer's bytes, when given

    QTest::newRow("key of sector 0") << keyQuery(0) << 0 << "A0A1A2A3A4A0"_ba << QByteArray();
    QTest::newRow("key of sector 2, marker bytes")
        << keyQuery(2) << 0 << "020380A1B2C3"_ba << QByteArray();
    QTest::newRow("key of sector 5") << keyQuery(5) << 0 << "A0A1A2A3A4A5"_ba << QByteArray();
    QTest::newRow("key of sector 15") << keyQuery(15) << 0 << "A0A1A2A3A4AF"_ba << QByteArray();
    QTest::newRow("sector 16") << keyQuery(16) << int('E') << QByteArray() << QByteArray();
    QTest::newRow("key query without sector")
        << command(Cmd::GetInfoKeyCard, {}) << int('L') << QByteArray() << QByteArray();
    QTest::newRow("key download with 02 03 80")
        << command(Cmd::DownloadKeys, defaultKeyDownload()) << 0 << QByteArray()
        << hex("02 1B 00 08 00 00 00 00 00 E6 59 03");
    QTest::newRow("key download one byte short") << command(Cmd::DownloadKeys, QByteArray(95, 'k'))
                                                 << int('L') << QByteArray() << QByteArray();
    QTest::newRow("init card") << command(Cmd::InitCfgCard, QByteArray(85, '\x03')) << 0
                               << QByteArray() << QByteArray();
    QTest::newRow("init card too long") << command(Cmd::InitCfgCard, QByteArray(86, 'i'))
                                        << int('L') << QByteArray() << QByteArray();
    QTest::newRow("block write") << blockWrite(4) << 0 << QByteArray() << QByteArray();
    QTest::newRow("block write short") << command(Cmd::SetCfgCard, QByteArray(17, '\x02'))
                                       << int('L') << QByteArray() << QByteArray();
    QTest::newRow("block write without 02 first")
        << command(Cmd::SetCfgCard, QByteArray(18, '\x01')) << int('E') << QByteArray()
        << QByteArray();
    QTest::newRow("firmware version")
        << command(Cmd::GetFWVersion, "0"_ba) << 0 << "PTV-SIM 1.0"_ba << QByteArray();
    QTest::newRow("beep") << command(Cmd::BeepSound, QByteArray(41, '\x80')) << 0 << QByteArray()
                          << QByteArray();
    QTest::newRow("beep wrong length")
        << command(Cmd::BeepSound, QByteArray(40, 'x')) << int('L') << QByteArray() << QByteArray();
    QTest::newRow("unknown command")
        << command(0x55, "abc"_ba) << int('E') << QByteArray() << QByteArray();
}

void TestSimEngine::defaultAnswers()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, code);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, exact);

    // Whole, byte by byte, and in pieces that cut the header and escape pairs.
    for (int chunkSize : { 0, 1, 3, 8 }) {
        TerminalSimulator terminal;
        ProgramSide program(terminal);
        for (const QByteArray &piece : cut(frame, chunkSize))
            terminal.receive(piece);
        QVERIFY2(program.received.isEmpty(), "answered from within receive()");
        QTRY_COMPARE(program.accepted.size(), 1);
        QCOMPARE(program.accepted[0].code, quint8(code));
        QCOMPARE(program.accepted[0].data, data);
        QVERIFY(program.drops.isEmpty());
        if (!exact.isEmpty())
            QCOMPARE(program.received.toHex(' '), exact.toHex(' '));
        QCOMPARE(terminal.receivedFrames().size(), 1);
        QVERIFY(terminal.receivedFrames()[0].good());
        QCOMPARE(terminal.receivedFrames()[0].raw, frame);
    }
}

void TestSimEngine::memory_data()
{
    QTest::addColumn<QByteArray>("frames");
    QTest::addColumn<QByteArray>("downloadedKeys");
    QTest::addColumn<QByteArray>("initData");
    QTest::addColumn<QList<int>>("blocks");

    const QByteArray keys = defaultKeyDownload();
    const QByteArray init = QByteArray(40, '\x02') + QByteArray(45, '\x80');
    QTest::newRow("keys") << command(Cmd::DownloadKeys, keys) << keys << QByteArray()
                          << QList<int>();
    QTest::newRow("short keys stored nowhere") << command(Cmd::DownloadKeys, keys.left(90))
                                               << QByteArray() << QByteArray() << QList<int>();
    QTest::newRow("init data") << command(Cmd::InitCfgCard, init) << QByteArray() << init
                               << QList<int>();
    QTest::newRow("blocks 1 and 3")
        << blockWrite(1) + blockWrite(3) << QByteArray() << QByteArray() << QList<int> { 1, 3 };
    QTest::newRow("block 2 twice")
        << blockWrite(2) + blockWrite(2) << QByteArray() << QByteArray() << QList<int> { 2 };
}

void TestSimEngine::memory()
{
    QFETCH(QByteArray, frames);
    QFETCH(QByteArray, downloadedKeys);
    QFETCH(QByteArray, initData);
    QFETCH(QList<int>, blocks);

    TerminalSimulator terminal;
    terminal.receive(frames);
    QCOMPARE(terminal.downloadedKeys(), downloadedKeys);
    QCOMPARE(terminal.initData(), initData);
    QCOMPARE(terminal.writtenBlocks().keys(), blocks);
    for (int block : blocks)
        QCOMPARE(terminal.writtenBlocks().value(block), QByteArray(16, 'b'));
}

void TestSimEngine::rawHeaderFrames_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("markerAt"); // where the header carries a marker or escape byte
    QTest::addColumn<int>("answerCode");

    QTest::newRow("length low byte 02")
        << handFrame(0x55, QByteArray(0x102 - 7, 'd')) << 3 << int('E');
    QTest::newRow("length low byte 03")
        << handFrame(0x55, QByteArray(0x103 - 7, 'd')) << 3 << int('E');
    QTest::newRow("length low byte 80, data 80")
        << handFrame(0x55, QByteArray(0x80 - 7, '\x80')) << 3 << int('E');
    QTest::newRow("length high byte 02")
        << handFrame(0x55, QByteArray(0x208 - 7, '\x03')) << 4 << int('E');
    QTest::newRow("function code 02") << handFrame(0x02, "x"_ba) << 1 << int('E');
    QTest::newRow("function code 03") << handFrame(0x03, {}) << 1 << int('E');
    QTest::newRow("key download, data with 02 03 80")
        << handFrame(Cmd::DownloadKeys, defaultKeyDownload()) << -1 << 0;
}

void TestSimEngine::rawHeaderFrames()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, markerAt);
    QFETCH(int, answerCode);
    if (markerAt >= 0) {
        const quint8 b = quint8(frame[markerAt]);
        QVERIFY2(b == 0x02 || b == 0x03 || b == 0x80, "the row does not test a raw header");
    }

    for (int chunkSize : { 0, 1, 2 }) {
        TerminalSimulator terminal;
        ProgramSide program(terminal);
        QSignalSpy spy(&terminal, &TerminalSimulator::frameReceived);
        // Noise first: bytes outside a frame are ignored.
        for (const QByteArray &piece : cut(hex("03 80 83 41") + frame, chunkSize))
            terminal.receive(piece);
        QCOMPARE(spy.size(), 1);
        const auto received = spy[0][0].value<ReceivedFrame>();
        QVERIFY(received.good());
        QVERIFY(received.checkOk);
        QCOMPARE(received.raw, frame);
        QCOMPARE(received.code, quint8(frame[1]));
        QCOMPARE(received.data, unescapeBytes(frame.mid(8, frame.size() - 11)));
        QTRY_COMPARE(program.acceptedCodes(), QList<int> { answerCode });
    }
}

void TestSimEngine::badCommandFrames_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<int>>("faults"); // CommandFault of each frame logged
    QTest::addColumn<QList<int>>("answers");

    const QByteArray good = keyQuery(1);
    QByteArray badCheck = good;
    badCheck[badCheck.size() - 2] = char(badCheck[badCheck.size() - 2] ^ 0x10);
    QByteArray noEnd = good;
    noEnd[noEnd.size() - 1] = 0x04;
    QByteArray badSecond = good;
    badSecond[2] = char(0x82);

    const int none = int(CommandFault::None);
    QTest::newRow("bad check field")
        << badCheck << QList<int> { int(CommandFault::CheckField) } << QList<int>();
    QTest::newRow("bad check field, then a good frame")
        << badCheck + good << QList<int> { int(CommandFault::CheckField), none }
        << QList<int> { 0 };
    QTest::newRow("04 instead of the end marker")
        << noEnd + good << QList<int> { int(CommandFault::EndMarker), none } << QList<int> { 0 };
    QTest::newRow("next frame where the end marker should be")
        << good.chopped(1) + good << QList<int> { int(CommandFault::EndMarker), none }
        << QList<int> { 0 };
    QTest::newRow("second byte 82")
        << badSecond + good << QList<int> { int(CommandFault::Header), none } << QList<int> { 0 };
    QTest::newRow("stray start marker before a frame")
        << hex("02") + good << QList<int> { int(CommandFault::Header), none } << QList<int> { 0 };
    QTest::newRow("length field 6")
        << hex("02 72 81 06 00 99 99 99 12 34 03") + good
        << QList<int> { int(CommandFault::Length), none } << QList<int> { 0 };
    QTest::newRow("noise between frames") << hex("03 80 FF") + good + hex("00 03 83") + good
                                          << QList<int> { none, none } << QList<int> { 0, 0 };
}

void TestSimEngine::badCommandFrames()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<int>, faults);
    QFETCH(QList<int>, answers);

    for (int chunkSize : { 0, 1 }) {
        TerminalSimulator terminal;
        ProgramSide program(terminal);
        for (const QByteArray &piece : cut(bytes, chunkSize))
            terminal.receive(piece);
        QList<int> logged;
        for (const ReceivedFrame &frame : terminal.receivedFrames())
            logged.append(int(frame.fault));
        QCOMPARE(logged, faults);
        QTRY_VERIFY(!terminal.isSending());
        QCOMPARE(program.acceptedCodes(), answers);
        QVERIFY(program.drops.isEmpty());
    }
}

void TestSimEngine::rules_data()
{
    QTest::addColumn<QStringList>("rules");
    QTest::addColumn<QByteArray>("frames");
    QTest::addColumn<QList<int>>("accepted"); // codes, in order
    QTest::addColumn<QByteArray>("lastData"); // data of the last accepted answer
    QTest::addColumn<QList<int>>("drops"); // FrameDrop, in order
    QTest::addColumn<int>("transmits"); // transmit() signals, -1: not checked

    const QByteArray key5 = "A0A1A2A3A4A5"_ba;
    const int checkField = int(FrameDrop::CheckField);

    QTest::newRow("code E on sector 5") << QStringList { u"0x72:5 code=E"_s } << keyQuery(5)
                                        << QList<int> { 'E' } << QByteArray() << QList<int>() << 1;
    QTest::newRow("sector 4 not matched")
        << QStringList { u"0x72:5 code=E"_s } << keyQuery(4) << QList<int> { 0 }
        << "A0A1A2A3A4A4"_ba << QList<int>() << 1;
    QTest::newRow("code E with own data")
        << QStringList { u"0x72:5 code=0x45 data"_s } << keyQuery(5) << QList<int> { 'E' } << key5
        << QList<int>() << 1;
    QTest::newRow("code 0 without data") << QStringList { u"0x72 code=0 nodata"_s } << keyQuery(5)
                                         << QList<int> { 0 } << QByteArray() << QList<int>() << 1;
    QTest::newRow("given data with markers")
        << QStringList { u"0xF3 data=02038041"_s } << command(Cmd::GetFWVersion, "0"_ba)
        << QList<int> { 0 } << hex("02038041") << QList<int>() << 1;
    QTest::newRow("intermediate 5, 6, then answer")
        << QStringList { u"0x72 inter=5,6 then answer"_s } << keyQuery(5) << QList<int> { 5, 6, 0 }
        << key5 << QList<int>() << 3;
    QTest::newRow("intermediate without final")
        << QStringList { u"0x72 inter=7"_s } << keyQuery(5) << QList<int> { 7 } << QByteArray()
        << QList<int>() << 1;
    QTest::newRow("still waiting, then answer")
        << QStringList { u"0x72 wait then answer"_s } << keyQuery(5) << QList<int> { 30, 0 } << key5
        << QList<int>() << 2;
    QTest::newRow("still waiting, then nothing")
        << QStringList { u"0x72 wait"_s } << keyQuery(5) << QList<int> { 30 } << QByteArray()
        << QList<int>() << 1;
    QTest::newRow("silent") << QStringList { u"0x73 silent"_s }
                            << command(Cmd::DownloadKeys, defaultKeyDownload()) << QList<int>()
                            << QByteArray() << QList<int>() << 0;
    QTest::newRow("bad check field")
        << QStringList { u"0x72 badcrc"_s } << keyQuery(5) << QList<int>() << QByteArray()
        << QList<int> { checkField } << 1;
    QTest::newRow("bad check field, then good")
        << QStringList { u"0x72 badcrc then answer"_s } << keyQuery(5) << QList<int> { 0 } << key5
        << QList<int> { checkField } << 2;
    QTest::newRow("wrong header") << QStringList { u"0x72 badheader"_s } << keyQuery(5)
                                  << QList<int>() << QByteArray()
                                  << QList<int> { int(FrameDrop::Header) } << 1;
    QTest::newRow("length one too large")
        << QStringList { u"0x72 longlen"_s } << keyQuery(5) << QList<int>() << QByteArray()
        << QList<int> { int(FrameDrop::Length) } << 1;
    QTest::newRow("raw 03 in a filler byte")
        << QStringList { u"0x72 raw03"_s } << keyQuery(5) << QList<int> { 0 } << key5
        << QList<int> { int(FrameDrop::Short) } << 1;
    QTest::newRow("raw 03 in the data")
        << QStringList { u"0xF3 data=410342 raw03"_s } << command(Cmd::GetFWVersion, "0"_ba)
        << QList<int> { 0 } << hex("410342") << QList<int> { checkField } << 1;
    QTest::newRow("raw code 3 accepted")
        << QStringList { u"0x72 code=3 rawcode"_s } << keyQuery(5) << QList<int> { 3 }
        << QByteArray() << QList<int> { int(FrameDrop::Short) } << 1;
    QTest::newRow("raw code 2 lost")
        << QStringList { u"0x72 code=2 rawcode"_s } << keyQuery(5) << QList<int>() << QByteArray()
        << QList<int> { int(FrameDrop::Short) } << 1;
    QTest::newRow("split in 3") << QStringList { u"0x72 split=3 chunkgap=5"_s } << keyQuery(5)
                                << QList<int> { 0 } << key5 << QList<int>() << 3;
    QTest::newRow("only the second")
        << QStringList { u"0x72#2 code=E"_s } << keyQuery(5) + keyQuery(5) + keyQuery(5)
        << QList<int> { 0, 'E', 0 } << key5 << QList<int>() << 3;
    QTest::newRow("first two silent")
        << QStringList { u"0x72#1-2 silent"_s } << keyQuery(5) + keyQuery(5) + keyQuery(5)
        << QList<int> { 0 } << key5 << QList<int>() << 1;
    QTest::newRow("from the second on")
        << QStringList { u"0x72#2- code=K"_s } << keyQuery(5) + keyQuery(5) + keyQuery(5)
        << QList<int> { 0, 'K', 'K' } << QByteArray() << QList<int>() << 3;
    QTest::newRow("count only matching sectors")
        << QStringList { u"0x72:5#2 code=E"_s } << keyQuery(5) + keyQuery(4) + keyQuery(5)
        << QList<int> { 0, 0, 'E' } << QByteArray() << QList<int>() << 3;
    QTest::newRow("block index selects 0x81")
        << QStringList { u"0x81:1 code=B"_s } << blockWrite(0) + blockWrite(1)
        << QList<int> { 0, 'B' } << QByteArray() << QList<int>() << 2;
    QTest::newRow("0x81 ignores its leading 02")
        << QStringList { u"0x81:2 code=B"_s } << blockWrite(1) << QList<int> { 0 } << QByteArray()
        << QList<int>() << 1;
    QTest::newRow("first rule wins")
        << QStringList { u"0x72 code=E"_s, u"0x72 code=K"_s } << keyQuery(5) << QList<int> { 'E' }
        << QByteArray() << QList<int>() << 1;
    QTest::newRow("later rule once the first is done")
        << QStringList { u"0x72#1 code=E"_s, u"0x72 code=K"_s } << keyQuery(5) + keyQuery(5)
        << QList<int> { 'E', 'K' } << QByteArray() << QList<int>() << 2;
    QTest::newRow("other commands untouched") << QStringList { u"0x73 silent"_s } << keyQuery(5)
                                              << QList<int> { 0 } << key5 << QList<int>() << 1;
}

void TestSimEngine::rules()
{
    QFETCH(QStringList, rules);
    QFETCH(QByteArray, frames);
    QFETCH(QList<int>, accepted);
    QFETCH(QByteArray, lastData);
    QFETCH(QList<int>, drops);
    QFETCH(int, transmits);

    TerminalSimulator terminal;
    for (const QString &rule : rules) {
        QString error;
        QVERIFY2(terminal.addRule(rule, &error), qPrintable(error));
    }
    ProgramSide program(terminal);
    terminal.receive(frames);
    QVERIFY(program.received.isEmpty());
    QTRY_VERIFY(!terminal.isSending());
    QTest::qWait(30); // anything more would come out now

    QCOMPARE(program.acceptedCodes(), accepted);
    if (!accepted.isEmpty())
        QCOMPARE(program.accepted.last().data, lastData);
    QCOMPARE(program.drops, drops);
    if (transmits >= 0)
        QCOMPARE(program.chunks.size(), qsizetype(transmits));
}

void TestSimEngine::gapsAndDelay_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<QList<int>>("minMs"); // earliest arrival of each accepted answer

    QTest::newRow("plain") << QString() << 0 << QList<int> { 0 };
    QTest::newRow("answer delay") << QString() << 150 << QList<int> { 150 };
    QTest::newRow("default gap 20 ms")
        << u"0x72 inter=5,6 then answer"_s << 0 << QList<int> { 0, 20, 40 };
    QTest::newRow("gap 100 ms on the intermediates")
        << u"0x72 inter=5,6 gap=100 then answer gap=0"_s << 0 << QList<int> { 100, 200, 200 };
    QTest::newRow("delay before the first only")
        << u"0x72 wait then answer gap=50"_s << 100 << QList<int> { 100, 150 };
    QTest::newRow("silent step holds back the answer")
        << u"0x72 silent gap=120 then answer gap=0"_s << 0 << QList<int> { 120 };
    QTest::newRow("chunks 40 ms apart") << u"0x72 split=3 chunkgap=40"_s << 0 << QList<int> { 80 };
}

void TestSimEngine::gapsAndDelay()
{
    QFETCH(QString, rule);
    QFETCH(int, delayMs);
    QFETCH(QList<int>, minMs);

    TerminalSimulator terminal;
    terminal.setAnswerDelay(delayMs);
    if (!rule.isEmpty())
        QVERIFY(terminal.addRule(rule));
    ProgramSide program(terminal);
    terminal.receive(keyQuery(3));
    QTRY_COMPARE_WITH_TIMEOUT(program.accepted.size(), minMs.size(), 5000);
    for (qsizetype i = 0; i < minMs.size(); ++i) {
        QVERIFY2(program.acceptedAtMs[i] >= minMs[i],
                 qPrintable(u"answer %1 after %2 ms"_s.arg(i).arg(program.acceptedAtMs[i])));
        // Generous: the machine running the tests is shared.
        QVERIFY2(program.acceptedAtMs[i] < minMs[i] + 400,
                 qPrintable(u"answer %1 after %2 ms"_s.arg(i).arg(program.acceptedAtMs[i])));
    }
}

void TestSimEngine::vanish()
{
    TerminalSimulator terminal;
    QVERIFY(terminal.addRule(u"0x72#1 vanish"_s));
    ProgramSide program(terminal);
    QSignalSpy vanished(&terminal, &TerminalSimulator::vanished);

    terminal.receive(keyQuery(5));
    QVERIFY(vanished.wait(2000));
    const QByteArray whole = buildAnswerFrame(0, "A0A1A2A3A4A5"_ba);
    QCOMPARE(program.received, whole.left(whole.size() / 2));
    QVERIFY(program.accepted.isEmpty());

    // Gone: deaf and mute until the line is reset.
    terminal.receive(keyQuery(5));
    QTest::qWait(50);
    QCOMPARE(program.received.size(), whole.size() / 2);
    QCOMPARE(terminal.receivedFrames().size(), 1);

    terminal.reset();
    terminal.receive(keyQuery(5));
    QTRY_COMPARE(program.accepted.size(), 1);
    QCOMPARE(program.accepted[0].data, "A0A1A2A3A4A5"_ba);
    QCOMPARE(vanished.size(), 1);
}

void TestSimEngine::pacing_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("bytes");

    // Both take 260 ms on an idle machine.
    QTest::newRow("38400, 1000 bytes") << 38400 << 1000;
    QTest::newRow("115200, 3000 bytes") << 115200 << 3000;
}

void TestSimEngine::pacing()
{
    QFETCH(int, baud);
    QFETCH(int, bytes);

    TerminalSimulator terminal;
    terminal.setBaudRate(baud);
    ProgramSide program(terminal);
    QByteArray payload(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        payload[i] = char(i * 7);

    QElapsedTimer clock;
    clock.start();
    terminal.sendRaw(payload);
    QTRY_COMPARE_WITH_TIMEOUT(program.received.size(), qsizetype(bytes), 3000);
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed >= 200 && elapsed <= 600, qPrintable(u"%1 ms"_s.arg(elapsed)));
    QCOMPARE(program.received, payload);
    // Spread over the time rather than sent in a few bursts.
    QVERIFY2(program.chunks.size() >= 20, qPrintable(u"%1 pieces"_s.arg(program.chunks.size())));
}

void TestSimEngine::chaos_data()
{
    QTest::addColumn<QString>("chaos");
    QTest::addColumn<bool>("answered"); // every command gets its final answer
    QTest::addColumn<bool>("intermediates"); // each final answer comes after 1-3 others
    QTest::addColumn<QList<int>>("drops"); // FrameDrop of every dropped frame
    QTest::addColumn<bool>("split"); // more transmit() signals than frames

    QTest::newRow("calm") << u"seed=3"_s << true << false << QList<int>() << false;
    QTest::newRow("always silent")
        << u"seed=3,silent=1"_s << false << false << QList<int>() << false;
    QTest::newRow("always corrupt") << u"seed=3,corrupt=1"_s << false << false
                                    << QList<int>(12, int(FrameDrop::CheckField)) << false;
    QTest::newRow("always intermediates")
        << u"seed=3,inter=1"_s << true << true << QList<int>() << false;
    QTest::newRow("always split") << u"seed=3,split=1"_s << true << false << QList<int>() << true;
}

void TestSimEngine::chaos()
{
    QFETCH(QString, chaos);
    QFETCH(bool, answered);
    QFETCH(bool, intermediates);
    QFETCH(QList<int>, drops);
    QFETCH(bool, split);

    constexpr int kCommands = 12;
    QString error;
    const auto options = parseSimChaos(chaos, &error);
    QVERIFY2(options, qPrintable(error));
    TerminalSimulator terminal;
    terminal.setChaos(*options);
    ProgramSide program(terminal);
    QByteArray frames;
    for (int i = 0; i < kCommands; ++i)
        frames += keyQuery(i);
    terminal.receive(frames);
    QTRY_VERIFY_WITH_TIMEOUT(!terminal.isSending(), 5000);

    QList<ParsedAnswer> finals;
    int inBetween = 0;
    for (const ParsedAnswer &answer : program.accepted) {
        if (answer.code != 0) {
            QVERIFY2(answer.code >= 1 && answer.code <= 30, "only intermediate codes added");
            ++inBetween;
            continue;
        }
        if (intermediates)
            QVERIFY2(inBetween >= 1 && inBetween <= 3, qPrintable(QString::number(inBetween)));
        inBetween = 0;
        finals.append(answer);
    }
    QCOMPARE(inBetween, 0);
    QCOMPARE(finals.size(), answered ? kCommands : 0);
    for (qsizetype i = 0; i < finals.size(); ++i)
        QCOMPARE(finals[i].data, defaultSimKeys()[i].toLatin1());
    if (!intermediates)
        QCOMPARE(program.accepted.size(), finals.size());
    QCOMPARE(program.drops, drops);
    QCOMPARE(program.chunks.size() > program.accepted.size() + program.drops.size(), split);
}

void TestSimEngine::chaosIsReproducible()
{
    auto run = [](quint32 seed) {
        SimChaos chaos { true, seed, 0.1, 0.1, 0.3, 0.3 };
        TerminalSimulator terminal;
        terminal.setChaos(chaos);
        ProgramSide program(terminal);
        QByteArray frames;
        for (int i = 0; i < 30; ++i)
            frames += keyQuery(i % 16);
        terminal.receive(frames);
        if (!QTest::qWaitFor([&] { return !terminal.isSending(); }, 10000))
            return QByteArray("timed out");
        return program.received;
    };
    const QByteArray first = run(7);
    QCOMPARE(run(7), first);
    QVERIFY(run(8) != first);
}

void TestSimEngine::parseRule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("selector"); // -1: none
    QTest::addColumn<int>("firstMatch");
    QTest::addColumn<int>("lastMatch");
    QTest::addColumn<QList<SimStep>>("steps");

    SimStep codeE;
    codeE.code = 0x45;
    SimStep answer;
    SimStep silent;
    silent.kind = SimStep::Kind::Silent;
    SimStep inter5;
    inter5.code = 5;
    SimStep inter6 = inter5;
    inter6.code = 6;
    SimStep waiting;
    waiting.code = 30;
    SimStep badCheck;
    badCheck.fault = SimStep::Fault::BadCheck;
    SimStep split;
    split.chunks = 3;
    split.chunkGapMs = 7;
    split.gapMs = 0;
    SimStep codeBOwn;
    codeBOwn.code = 'B';
    codeBOwn.data = SimStep::Data::Own;
    SimStep given;
    given.data = SimStep::Data::Given;
    given.givenData = hex("41AB03");
    given.fault = SimStep::Fault::RawCode;
    SimStep vanishNoData;
    vanishNoData.data = SimStep::Data::None;
    vanishNoData.fault = SimStep::Fault::Vanish;
    SimStep inter5Gap = inter5;
    inter5Gap.gapMs = 50;
    SimStep inter6Gap = inter6;
    inter6Gap.gapMs = 50;

    QTest::newRow("code on sector")
        << u"0x72:5 code=0x45"_s << 0x72 << 5 << 1 << 0 << QList<SimStep> { codeE };
    QTest::newRow("letter code") << u"0x72:5 code=E"_s << 0x72 << 5 << 1 << 0
                                 << QList<SimStep> { codeE };
    QTest::newRow("decimal command")
        << u"114 answer"_s << 0x72 << -1 << 1 << 0 << QList<SimStep> { answer };
    QTest::newRow("intermediates then code 0") << u"0x72 inter=5,6 then code=0"_s << 0x72 << -1 << 1
                                               << 0 << QList<SimStep> { inter5, inter6, [] {
                                                                           SimStep s;
                                                                           s.code = 0;
                                                                           return s;
                                                                       }() };
    QTest::newRow("intermediates with gap") << u"0x72 inter=5,6 gap=50"_s << 0x72 << -1 << 1 << 0
                                            << QList<SimStep> { inter5Gap, inter6Gap };
    QTest::newRow("silent") << u"0x73 silent"_s << 0x73 << -1 << 1 << 0
                            << QList<SimStep> { silent };
    QTest::newRow("third only") << u"0x72#3 badcrc then answer"_s << 0x72 << -1 << 3 << 3
                                << QList<SimStep> { badCheck, answer };
    QTest::newRow("range") << u"0x72#2-4 wait"_s << 0x72 << -1 << 2 << 4
                           << QList<SimStep> { waiting };
    QTest::newRow("open range") << u"0x72:0x0F#2- silent"_s << 0x72 << 15 << 2 << 0
                                << QList<SimStep> { silent };
    QTest::newRow("split") << u"0xF3 split=3 chunkgap=7 gap=0"_s << 0xF3 << -1 << 1 << 0
                           << QList<SimStep> { split };
    QTest::newRow("own data with error")
        << u"0x81:1 code=B data"_s << 0x81 << 1 << 1 << 0 << QList<SimStep> { codeBOwn };
    QTest::newRow("given data, raw code")
        << u"0xF3 data=41ab03 rawcode"_s << 0xF3 << -1 << 1 << 0 << QList<SimStep> { given };
    QTest::newRow("extra blanks") << u"  0x72   nodata   vanish "_s << 0x72 << -1 << 1 << 0
                                  << QList<SimStep> { vanishNoData };
}

void TestSimEngine::parseRule()
{
    QFETCH(QString, text);
    QFETCH(int, code);
    QFETCH(int, selector);
    QFETCH(int, firstMatch);
    QFETCH(int, lastMatch);
    QFETCH(QList<SimStep>, steps);

    QString error;
    const auto rule = parseSimRule(text, &error);
    QVERIFY2(rule, qPrintable(error));
    QCOMPARE(rule->code, quint8(code));
    QCOMPARE(rule->selector.has_value(), selector >= 0);
    if (selector >= 0)
        QCOMPARE(*rule->selector, quint8(selector));
    QCOMPARE(rule->firstMatch, firstMatch);
    QCOMPARE(rule->lastMatch, lastMatch);
    QCOMPARE(rule->steps.size(), steps.size());
    for (qsizetype i = 0; i < steps.size(); ++i)
        QVERIFY2(rule->steps[i] == steps[i], qPrintable(u"step %1 differs"_s.arg(i)));
}

void TestSimEngine::parseRuleErrors_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("complaint"); // part of the message

    QTest::newRow("empty") << u"  "_s << u"empty rule"_s;
    QTest::newRow("code too large") << u"0x100 answer"_s << u"command code \"0x100\""_s;
    QTest::newRow("code not a number") << u"GetInfo answer"_s << u"command code"_s;
    QTest::newRow("no action") << u"0x72"_s << u"no action"_s;
    QTest::newRow("then first") << u"0x72 then answer"_s << u"no action"_s;
    QTest::newRow("then last") << u"0x72 answer then"_s << u"\"then\" without"_s;
    QTest::newRow("then twice") << u"0x72 answer then then silent"_s << u"\"then\" without"_s;
    QTest::newRow("selector too large") << u"0x72:256 answer"_s << u"selector \"256\""_s;
    QTest::newRow("count 0") << u"0x72#0 answer"_s << u"\"#0\""_s;
    QTest::newRow("range backwards") << u"0x72#3-2 answer"_s << u"\"#3-2\""_s;
    QTest::newRow("range not numbers") << u"0x72#a-b answer"_s << u"\"#a-b\""_s;
    QTest::newRow("code value too large") << u"0x72 code=256"_s << u"\"code=256\""_s;
    QTest::newRow("code two letters") << u"0x72 code=EK"_s << u"\"code=EK\""_s;
    QTest::newRow("code without value") << u"0x72 code="_s << u"has no value"_s;
    QTest::newRow("intermediate 0") << u"0x72 inter=0"_s << u"intermediate codes are 1 to 30"_s;
    QTest::newRow("intermediate 31") << u"0x72 inter=5,31"_s << u"intermediate codes"_s;
    QTest::newRow("two kinds") << u"0x72 code=E silent"_s << u"separate them"_s;
    QTest::newRow("silent with damage") << u"0x72 silent badcrc"_s << u"\"silent\" sends"_s;
    QTest::newRow("two damages") << u"0x72 badcrc vanish"_s << u"one damage"_s;
    QTest::newRow("inter with damage") << u"0x72 inter=5 badcrc"_s << u"\"inter=\" takes"_s;
    QTest::newRow("odd hex data") << u"0x72 data=414"_s << u"pairs of hex"_s;
    QTest::newRow("not hex data") << u"0x72 data=4G"_s << u"pairs of hex"_s;
    QTest::newRow("data twice") << u"0x72 data nodata"_s << u"\"data\" and \"nodata\""_s;
    QTest::newRow("split 0") << u"0x72 split=0"_s << u"number of pieces"_s;
    QTest::newRow("negative gap") << u"0x72 gap=-1"_s << u"milliseconds"_s;
    QTest::newRow("gap twice") << u"0x72 gap=1 gap=2"_s << u"given twice"_s;
    QTest::newRow("unknown word") << u"0x72 loud"_s << u"unknown word \"loud\""_s;
}

void TestSimEngine::parseRuleErrors()
{
    QFETCH(QString, text);
    QFETCH(QString, complaint);

    QString error;
    QVERIFY(!parseSimRule(text, &error));
    QVERIFY2(error.contains(complaint), qPrintable(error));
    QVERIFY2(error.startsWith(u"rule \""_s), qPrintable(error));
}

void TestSimEngine::parseArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<SimCommandLine>("expected");

    SimCommandLine none;
    QTest::newRow("none") << QStringList() << none;

    SimCommandLine help;
    help.help = true;
    QTest::newRow("help") << QStringList { u"--help"_s } << help;

    SimCommandLine full;
    full.options.rules.append(*parseSimRule(u"0x72 inter=5,6 then answer"_s, nullptr));
    full.options.rules.append(*parseSimRule(u"0x73 silent"_s, nullptr));
    full.options.baudRate = 38400;
    full.options.answerDelayMs = 15;
    full.options.keys[3] = u"0102030405AB"_s;
    full.options.firmwareVersion = u"X 2"_s;
    full.options.chaos = { true, 7, 0.02, 0.05, 0.2, 0.25 };
    full.logFile = u"/tmp/frames.json"_s;
    QTest::newRow("everything") << QStringList { u"--on"_s,
                                                 u"0x72"_s,
                                                 u"inter=5,6"_s,
                                                 u"then"_s,
                                                 u"answer"_s,
                                                 u"--baud"_s,
                                                 u"38400"_s,
                                                 u"--on"_s,
                                                 u"0x73 silent"_s,
                                                 u"--delay"_s,
                                                 u"15"_s,
                                                 u"--key"_s,
                                                 u"3=0102030405ab"_s,
                                                 u"--firmware"_s,
                                                 u"X 2"_s,
                                                 u"--chaos"_s,
                                                 u"seed=7,silent=0.02,corrupt=0.05,split=0.2,"
                                                 "inter=0.25"_s,
                                                 u"--log"_s,
                                                 u"/tmp/frames.json"_s }
                                << full;
}

void TestSimEngine::parseArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(SimCommandLine, expected);

    QString error;
    const auto parsed = parseSimArguments(arguments, &error);
    QVERIFY2(parsed, qPrintable(error));
    QCOMPARE(parsed->help, expected.help);
    QCOMPARE(parsed->logFile, expected.logFile);
    const SimOptions &got = parsed->options;
    const SimOptions &want = expected.options;
    QVERIFY(got.rules == want.rules);
    QCOMPARE(got.baudRate, want.baudRate);
    QCOMPARE(got.answerDelayMs, want.answerDelayMs);
    QVERIFY(got.keys == want.keys);
    QCOMPARE(got.firmwareVersion, want.firmwareVersion);
    QCOMPARE(got.chaos.enabled, want.chaos.enabled);
    QCOMPARE(got.chaos.seed, want.chaos.seed);
    QCOMPARE(got.chaos.silent, want.chaos.silent);
    QCOMPARE(got.chaos.corrupt, want.chaos.corrupt);
    QCOMPARE(got.chaos.split, want.chaos.split);
    QCOMPARE(got.chaos.inter, want.chaos.inter);
}

void TestSimEngine::parseArgumentErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("complaint");

    QTest::newRow("unknown option") << QStringList { u"--loud"_s } << u"unknown option"_s;
    QTest::newRow("--on alone") << QStringList { u"--on"_s, u"--baud"_s, u"1"_s }
                                << u"--on needs a rule"_s;
    QTest::newRow("bad rule") << QStringList { u"--on"_s, u"0x72"_s, u"loud"_s }
                              << u"unknown word"_s;
    QTest::newRow("baud without value") << QStringList { u"--baud"_s } << u"needs a value"_s;
    QTest::newRow("baud not a number") << QStringList { u"--baud"_s, u"fast"_s } << u"--baud"_s;
    QTest::newRow("negative delay") << QStringList { u"--delay"_s, u"-5"_s } << u"--delay"_s;
    QTest::newRow("sector 16") << QStringList { u"--key"_s, u"16=A0A1A2A3A4A5"_s } << u"--key"_s;
    QTest::newRow("short key") << QStringList { u"--key"_s, u"3=A0A1A2A3A4"_s } << u"--key"_s;
    QTest::newRow("key not hex") << QStringList { u"--key"_s, u"3=A0A1A2A3A4AZ"_s } << u"--key"_s;
    QTest::newRow("probability 2")
        << QStringList { u"--chaos"_s, u"silent=2"_s } << u"not a probability"_s;
    QTest::newRow("silent and corrupt over 1")
        << QStringList { u"--chaos"_s, u"silent=0.6,corrupt=0.6"_s } << u"exceed 1"_s;
    QTest::newRow("unknown chaos key")
        << QStringList { u"--chaos"_s, u"loud=0.1"_s } << u"unknown key"_s;
    QTest::newRow("chaos seed not a number")
        << QStringList { u"--chaos"_s, u"seed=x"_s } << u"seed"_s;
}

void TestSimEngine::parseArgumentErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, complaint);

    QString error;
    QVERIFY(!parseSimArguments(arguments, &error));
    QVERIFY2(error.contains(complaint), qPrintable(error));
}

void TestSimEngine::deviceRoundTrip()
{
    SimulatedTerminalDevice device;
    QSignalSpy received(&device, &SerialDevice::bytesReceived);
    QVERIFY(device.open(LineSettings()));
    QVERIFY(device.isOpen());
    device.write(keyQuery(2) + command(Cmd::GetFWVersion, "0"_ba));
    QVERIFY(received.isEmpty());

    QByteArray bytes;
    connect(&device, &SerialDevice::bytesReceived, this,
            [&bytes, &device] { bytes += device.takeReceived(); });
    QTRY_COMPARE(bytes.size(),
                 buildAnswerFrame(0, "020380A1B2C3"_ba).size()
                     + buildAnswerFrame(0, "PTV-SIM 1.0"_ba).size());
    FrameAssembler assembler;
    QList<QByteArray> data;
    for (char byte : bytes) {
        if (const auto answer = assembler.feed(byte); answer && answer->accepted())
            data.append(answer->data);
    }
    QCOMPARE(data, (QList<QByteArray> { "020380A1B2C3"_ba, "PTV-SIM 1.0"_ba }));
    QCOMPARE(device.terminal().receivedFrames().size(), 2);
}

void TestSimEngine::deviceMissing()
{
    SimulatedTerminalDevice device;
    device.setMissing(true);
    QVERIFY(!device.open(LineSettings()));
    QVERIFY(!device.isOpen());
    QVERIFY(!device.errorString().isEmpty());
    device.write(keyQuery(2));
    QVERIFY(device.terminal().receivedFrames().isEmpty());

    device.setMissing(false);
    QVERIFY(device.open(LineSettings()));
    QVERIFY(!device.open(LineSettings())); // already open
}

void TestSimEngine::deviceVanishes()
{
    SimulatedTerminalDevice device;
    QVERIFY(device.terminal().addRule(u"0x72#1 vanish"_s));
    QSignalSpy failed(&device, &SerialDevice::failed);
    QVERIFY(device.open(LineSettings()));
    device.write(keyQuery(2));
    QVERIFY(failed.wait(2000));
    QVERIFY(!device.isOpen());
    QVERIFY(!device.errorString().isEmpty());
    const QByteArray whole = buildAnswerFrame(0, "020380A1B2C3"_ba);
    QCOMPARE(device.takeReceived(), whole.left(whole.size() / 2));

    QByteArray bytes;
    connect(&device, &SerialDevice::bytesReceived, this,
            [&bytes, &device] { bytes += device.takeReceived(); });
    QVERIFY(device.open(LineSettings()));
    device.write(keyQuery(2));
    QTRY_COMPARE(bytes, whole);
    QCOMPARE(failed.size(), 1);
}

void TestSimEngine::deviceCloseDropsPendingAnswer()
{
    SimulatedTerminalDevice device;
    device.terminal().setAnswerDelay(50);
    QSignalSpy received(&device, &SerialDevice::bytesReceived);
    QVERIFY(device.open(LineSettings()));
    device.write(keyQuery(2));
    device.close();
    QVERIFY(device.open(LineSettings()));
    QTest::qWait(150);
    QVERIFY(received.isEmpty());
    QVERIFY(device.takeReceived().isEmpty());
}

QTEST_GUILESS_MAIN(TestSimEngine)
#include "tst_sim_engine.moc"
