#include "link/answer_parser.h"
#include "link/command_set.h"
#include "link/frame.h"
#include "sim/sim_rules.h"
#include "sim/terminal_engine.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(SimCommandLine)

namespace {

QByteArray command(quint8 code, const QByteArray &data)
{
    return buildCommandFrame(code, GetTermID(), data);
}

QByteArray keyQuery(int sector)
{
    return command(Cmd::GetInfoKeyCard, QByteArray(1, char(sector)));
}

QByteArray blockWrite(int block, char fill)
{
    return command(Cmd::SetCfgCard, QByteArray(1, 0x02) + char(block) + QByteArray(16, fill));
}

// A frame as the tables write it: its code (a letter when it is one, else two hex digits), then
// its data, unescaped and percent-encoded.
QByteArray describe(quint8 code, const QByteArray &data = {})
{
    const QByteArray name(1, char(code));
    const QByteArray text = code >= 'A' && code <= 'Z' ? name : name.toHex().toUpper();
    return data.isEmpty() ? text : text + ' ' + data.toPercentEncoding();
}

// The program's end of the line: the terminal's bytes, cut into frames as the program cuts them.
struct Program
{
    explicit Program(TerminalSimulator &terminal)
    {
        clock.start();
        QObject::connect(
            &terminal, &TerminalSimulator::transmit, &terminal, [this](QByteArray bytes) {
                received += bytes;
                ++chunks;
                for (char byte : bytes) {
                    if (const auto parsed = assembler.feed(byte); parsed && parsed->accepted()) {
                        answers.append(describe(parsed->code, parsed->data));
                        atMs.append(clock.elapsed());
                    } else if (parsed) {
                        ++drops;
                    }
                }
            });
    }

    QByteArray received;
    QByteArrayList answers; // accepted by the program's frame cutter, as describe() writes them
    QList<qint64> atMs; // when each answer was complete
    int chunks = 0; // transmit() signals
    int drops = 0; // frames the program refused
    FrameAssembler assembler;
    QElapsedTimer clock;
};

} // namespace

class TestSimEngine : public QObject
{
    Q_OBJECT

private slots:
    void reading_data();
    void reading();
    void rules_data();
    void rules();
    void vanish();
    void pacing();
    void chaos();
    void parsing_data();
    void parsing();
};

// Each row is read whole, byte by byte and two bytes at a time.
void TestSimEngine::reading_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("frames"); // the frames read: describe(), or the fault
    QTest::addColumn<QByteArray>("answers");

    const QByteArray keys = QByteArray("\x02\x03\x80\x41").repeated(24);
    const QByteArray good = keyQuery(1);
    QByteArray badCheck = good;
    badCheck[badCheck.size() - 2] = char(badCheck[badCheck.size() - 2] ^ 0x10);
    QByteArray badSecond = good;
    badSecond[2] = char(0x82);
    const QByteArray dd(0x102 - 7, 'd');
    const QByteArray key1 = "00 A0A1A2A3A4A1";
    const QByteArray error = "E";

    QTest::newRow("key of sector 2") << keyQuery(2) << "72 %02"_ba << QByteArray("00 020380A1B2C3");
    QTest::newRow("two frames in one chunk") << good + command(Cmd::GetFWVersion, "0"_ba)
                                             << "72 %01, F3 0"_ba << key1 + ", 00 PTV-SIM%201.0";
    QTest::newRow("raw 02 in the length") << command(0x99, dd) << "99 " + dd << error;
    QTest::newRow("raw 03 in the code") << command(0x03, "x"_ba) << "03 x"_ba << error;
    QTest::newRow("key download, 02 03 80 escaped")
        << command(Cmd::DownloadKeys, keys) << "73 " + keys.toPercentEncoding() << "00"_ba;
    QTest::newRow("bad check field") << badCheck + good << "check field, 72 %01"_ba << key1;
    QTest::newRow("bad second header byte") << badSecond + good << "header, 72 %01"_ba << key1;
    QTest::newRow("wrong length") << command(Cmd::GetInfoKeyCard, {}) << "72"_ba << QByteArray("L");
}

void TestSimEngine::reading()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, frames);
    QFETCH(QByteArray, answers);

    for (qsizetype step : { bytes.size(), qsizetype(1), qsizetype(2) }) {
        TerminalSimulator terminal;
        Program program(terminal);
        for (qsizetype i = 0; i < bytes.size(); i += step)
            terminal.receive(bytes.mid(i, step));
        QVERIFY2(program.received.isEmpty(), "answered from within receive()");
        QByteArrayList read;
        for (const ReceivedFrame &f : terminal.receivedFrames())
            read.append(f.good() ? describe(f.code, f.data)
                                 : QByteArray(commandFaultName(f.fault)));
        QCOMPARE(read.join(", "), frames);
        QTRY_VERIFY(!terminal.isSending());
        QCOMPARE(program.answers.join(", "), answers);
        QCOMPARE(program.drops, 0);
    }
}

void TestSimEngine::rules_data()
{
    QTest::addColumn<QString>("rules"); // | between them
    QTest::addColumn<QByteArray>("frames");
    QTest::addColumn<QByteArray>("answers");
    QTest::addColumn<QList<int>>("atMs"); // earliest arrival of each answer; empty: not timed

    const QByteArray k4 = keyQuery(4);
    const QByteArray k5 = keyQuery(5);
    const QList<int> any;

    QTest::newRow("other command, other sector")
        << u"0x73 silent|0x72:5 code=E"_s << k4 + k5 << "00 A0A1A2A3A4A4, E"_ba << any;
    QTest::newRow("given data") << u"0xF3 data=02038041"_s << command(Cmd::GetFWVersion, "0"_ba)
                                << "00 %02%03%80A"_ba << any;
    QTest::newRow("#2 counts matching sectors only")
        << u"0x72:5#2 code=E"_s << k5 + k4 + k5 + k5
        << "00 A0A1A2A3A4A5, 00 A0A1A2A3A4A4, E, 00 A0A1A2A3A4A5"_ba << any;
    QTest::newRow("#2-3") << u"0x72:4#2-3 code=K"_s << k4 + k4 + k4 + k4
                          << "00 A0A1A2A3A4A4, K, K, 00 A0A1A2A3A4A4"_ba << any;
    QTest::newRow("block index selects 0x81")
        << u"0x81:1 code=B"_s << blockWrite(0, 'b') + blockWrite(1, 'b') << "00, B"_ba << any;
    QTest::newRow("first rule wins, then the next")
        << u"0x72#1 code=E|0x72 code=K"_s << k5 + k5 << "E, K"_ba << any;
    QTest::newRow("steps 20 ms apart") << u"0x72 inter=5 then wait then answer"_s << k5
                                       << "05, 1E, 00 A0A1A2A3A4A5"_ba << QList { 0, 20, 40 };
    QTest::newRow("own gaps, silent step holds back")
        << u"0x72 silent gap=60 then inter=6 gap=60 then answer gap=0"_s << k5
        << "06, 00 A0A1A2A3A4A5"_ba << QList { 120, 120 };
}

void TestSimEngine::rules()
{
    QFETCH(QString, rules);
    QFETCH(QByteArray, frames);
    QFETCH(QByteArray, answers);
    QFETCH(QList<int>, atMs);

    TerminalSimulator terminal;
    for (const QString &rule : rules.split(u'|'))
        QVERIFY(terminal.addRule(rule));
    Program program(terminal);
    terminal.receive(frames);
    QTRY_VERIFY_WITH_TIMEOUT(!terminal.isSending(), 5000);
    QCOMPARE(program.answers.join(", "), answers);
    for (qsizetype i = 0; i < atMs.size(); ++i) {
        const QString when = u"answer %1 after %2 ms"_s.arg(i).arg(program.atMs[i]);
        // Generous above: the machine running the tests is shared.
        QVERIFY2(program.atMs[i] >= atMs[i] && program.atMs[i] < atMs[i] + 400, qPrintable(when));
    }
}

void TestSimEngine::vanish()
{
    TerminalSimulator terminal;
    QVERIFY(terminal.addRule(u"0x72#1 vanish"_s));
    Program program(terminal);
    QSignalSpy vanished(&terminal, &TerminalSimulator::vanished);
    terminal.receive(keyQuery(5));
    QVERIFY(vanished.wait(2000));
    const QByteArray whole = buildAnswerFrame(0, "A0A1A2A3A4A5"_ba);
    QCOMPARE(program.received, whole.left(whole.size() / 2));

    // Gone: deaf and mute until the line is reset.
    terminal.receive(keyQuery(5));
    QTest::qWait(50);
    QCOMPARE(program.received.size(), whole.size() / 2);
    QCOMPARE(vanished.size(), 1);
}

void TestSimEngine::pacing()
{
    TerminalSimulator terminal;
    terminal.setBaudRate(38400);
    Program program(terminal);
    const QByteArray payload = QByteArray("0123456789\x02\x03\x80").repeated(77).left(1000);
    terminal.sendRaw(payload);
    QTRY_COMPARE_WITH_TIMEOUT(program.received.size(), payload.size(), 5000);
    // 260 ms on an idle machine; the upper bound leaves room for a loaded one.
    const qint64 elapsed = program.clock.elapsed();
    QVERIFY2(elapsed >= 200 && elapsed <= 2000, qPrintable(u"%1 ms"_s.arg(elapsed)));
    QCOMPARE(program.received, payload);
    QVERIFY2(program.chunks >= 20, "sent in a few bursts rather than spread over the time");
}

void TestSimEngine::chaos()
{
    const auto run = [](const SimChaos &chaos, int commands) {
        TerminalSimulator terminal;
        terminal.setChaos(chaos);
        auto program = std::make_unique<Program>(terminal);
        for (int i = 0; i < commands; ++i)
            terminal.receive(keyQuery(i % kSimSectors));
        if (!QTest::qWaitFor([&] { return !terminal.isSending(); }, 10000))
            program->drops = program->chunks = -1; // never finished
        return program;
    };

    SimChaos stormy { true, 7, 0.1, 0.1, 0.3, 0.3 };
    const auto first = run(stormy, 30);
    QVERIFY(first->drops > 0 || first->chunks > first->answers.size()); // it did something
    QCOMPARE(run(stormy, 30)->received, first->received);
    stormy.seed = 8;
    QVERIFY(run(stormy, 30)->received != first->received);

    const auto calm = run({ true, 7, 0, 0, 0, 0 }, kSimSectors);
    QByteArrayList keys;
    for (const QString &key : defaultSimKeys())
        keys.append(describe(0, key.toLatin1()));
    QCOMPARE(calm->answers, keys);
    QCOMPARE(calm->drops, 0);
    QCOMPARE(calm->chunks, kSimSectors); // none split
}

// The rule and chaos texts, read through the arguments they come in.
void TestSimEngine::parsing_data()
{
    QTest::addColumn<QString>("arguments"); // | between them
    QTest::addColumn<QString>("complaint"); // found in the message; empty: accepted
    QTest::addColumn<SimCommandLine>("expected");

    SimCommandLine ranged;
    ranged.options.rules = { SimRule { 0x72, 5, 2, 4, { SimStep() } } };
    ranged.options.rules[0].steps[0].code = 0x45;
    QTest::newRow("sector, #2-4, letter code")
        << u"--on|0x72:5#2-4 code=E"_s << QString() << ranged;
    SimCommandLine options;
    options.options.baudRate = 38400;
    options.options.answerDelayMs = 15;
    options.options.keys[3] = u"0102030405AB"_s;
    options.options.firmwareVersion = u"X 2"_s;
    options.options.chaos = { true, 7, 0.02, 0.05, 0.2, 0.25 };
    options.logFile = u"/tmp/frames.json"_s;
    QTest::newRow("options") << u"--baud|38400|--delay|15|--key|3=0102030405ab|--firmware|X 2|"
                                "--chaos|seed=7,silent=0.02,corrupt=0.05,split=0.2,inter=0.25|"
                                "--log|/tmp/frames.json"_s
                             << QString() << options;

    const SimCommandLine none;
    QTest::newRow("unknown option") << u"--loud"_s << u"unknown option"_s << none;
    QTest::newRow("code 256") << u"--on|0x72 code=256"_s << u"code=256"_s << none;
    QTest::newRow("range backwards") << u"--on|0x72#3-2 answer"_s << u"#3-2"_s << none;
    QTest::newRow("two damages") << u"--on|0x72 badcrc vanish"_s << u"one damage"_s << none;
    QTest::newRow("over 1 in all") << u"--chaos|silent=0.6,corrupt=0.6"_s << u"exceed 1"_s << none;
}

void TestSimEngine::parsing()
{
    QFETCH(QString, arguments);
    QFETCH(QString, complaint);
    QFETCH(SimCommandLine, expected);

    QString error;
    const auto parsed = parseSimArguments(arguments.split(u'|'), &error);
    if (!complaint.isEmpty()) {
        QVERIFY(!parsed);
        QVERIFY2(error.contains(complaint), qPrintable(error));
        return;
    }
    QVERIFY2(parsed, qPrintable(error));
    const SimOptions &got = parsed->options;
    const SimOptions &want = expected.options;
    QVERIFY(got.rules == want.rules);
    QCOMPARE(parsed->logFile, expected.logFile);
    QCOMPARE(got.baudRate, want.baudRate);
    QCOMPARE(got.answerDelayMs, want.answerDelayMs);
    QVERIFY(got.keys == want.keys);
    QCOMPARE(got.firmwareVersion, want.firmwareVersion);
    const auto chaos = [](const SimChaos &c) {
        return QList<double> { double(c.enabled), double(c.seed), c.silent,
                               c.corrupt,         c.split,        c.inter };
    };
    QCOMPARE(chaos(got.chaos), chaos(want.chaos));
}

QTEST_GUILESS_MAIN(TestSimEngine)
#include "tst_sim_engine.moc"
