// The reader operations and the exchange under them, against the in-process simulated terminal:
// the commands sent, byte for byte, the status lines shown, line by line, what ends a wait, and
// the frame trace. Then the simulated terminal on its own: how it reads commands in any chunking,
// what its rules make it answer and when, pacing, chaos, and its command line.
#include "commands/card_write.h"
#include "commands/cards.h"
#include "host.h"
#include "link/command_set.h"
#include "platform/number_text.h"
#include "sim/terminal_engine.h"
#include "test_support.h"
#include "texts/message_numbers.h"
#include "window/frame_monitor_model.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QTest>
#include <QTime>

#include <memory>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

// Sector 4's key query; the caller's answer buffer holds a text that every failure must leave.
quint8 queryKey(ReaderBench &bench, QByteArray &answer)
{
    QString termId = GetTermID();
    QByteArray data(1, '\x04');
    answer = "untouched";
    return bench.session.SendCom_RebAns(Cmd::GetInfoKeyCard, termId, data, answer);
}

// Message `number` in English.
QString englishLine(int number)
{
    LanguageTable languages;
    return ReaderBench::englishTexts(languages).GetMis(number);
}

QStringList traced; // the frame trace's lines
void traceOnly(QtMsgType, const QMessageLogContext &context, const QString &message)
{
    if (QLatin1String(context.category) == QLatin1String("porteval.link"))
        traced << message;
}

using CardOperation = quint8 (*)(ReaderSession &, int);

QByteArray command(quint8 code, const QByteArray &data)
{
    return buildCommandFrame(code, GetTermID(), data);
}

QByteArray keyQuery(int sector)
{
    return command(Cmd::GetInfoKeyCard, QByteArray(1, char(sector)));
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

Q_DECLARE_METATYPE(CardOperation)

class TestOperations : public QObject
{
    Q_OBJECT

private slots:
    void keyCardQuery_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<bool>("readBefore"); // a complete read first
        QTest::addColumn<int>("reached"); // the sector the query ends at, 16 when complete
        QTest::addColumn<int>("code");
        QTest::newRow("complete") << QString() << false << 16 << 0;
        QTest::newRow("error at sector 5 after a complete read")
            << u"0x72:5 code=K"_s << true << 5 << int('K');
        QTest::newRow("no answer at sector 3") << u"0x72:3 silent"_s << false << 3 << 31;
    }

    void keyCardQuery()
    {
        QFETCH(QString, rule);
        QFETCH(bool, readBefore);
        QFETCH(int, reached);
        QFETCH(int, code);

        ReaderBench bench;
        if (readBefore)
            cmdGetInfoKeyCard(bench.session);
        if (!rule.isEmpty())
            QVERIFY(bench.terminal().addRule(rule));
        bench.terminal().clearReceivedFrames();
        bench.clear();
        cmdGetInfoKeyCard(bench.session);

        const auto line = [&](int sector, quint8 result) {
            return u"GetInfoKeyCard[%1]: "_s.arg(sector) + bench.GetMisResp(result);
        };
        QStringList expected { u"GetInfoKeyCard: "_s + bench.GetMisResp(30) };
        for (int i = 0; i < qMin(reached + 1, 16); ++i)
            expected << line(i, 30) << line(i, i == reached ? code : 0);
        expected << line(reached, code);
        QCOMPARE(bench.statusLines(), expected);
        QCOMPARE(bench.enableCalls(), (QList<bool> { false, true }));
        QCOMPARE(bench.session.bKeyCardRead(), readBefore || reached == 16);
        for (int i = 0; i < 16; ++i)
            QCOMPARE(bench.values.keys[i], i < reached ? bench.terminal().keys()[i] : QString());
    }

    // The session's signals as the window and the port jobs take them, in order: each status
    // line with the operation and the code it reports, the controls, the answer awaited. A port
    // lost while idle is said at once; during an operation, after that operation's last line.
    void sessionSignals_data()
    {
        QTest::addColumn<QString>("rule"); // the terminal's
        QTest::addColumn<QString>("script"); // the operations run, port "1"
        // "off", "on", "awaited", "OPERATION CODE TEXT", | between; LOST: the port-lost line
        QTest::addColumn<QString>("expected");
        const QString opened = u"off | on | open-port 0 OK"_s,
                      wait = u"Waiting for the answer..."_s;
        QTest::newRow("opened") << QString() << u"open-port"_s << opened;
        QTest::newRow("opened twice") << QString() << u"open-port open-port"_s
                                      << opened + u" | off | on | open-port 1 ERROR( 1)"_s;
        QTest::newRow("closed") << QString() << u"open-port close-port"_s
                                << opened + u" | close-port 0 OK"_s;
        QTest::newRow("closed while closed")
            << QString() << u"close-port"_s << u"close-port 1 ERROR( 1)"_s;
        QTest::newRow("lost while idle")
            << u"0xBB vanish"_s << u"open-port beep"_s
            << opened + u" | off | beep 30 %1 | beep 0 OK | on | - -1 LOST"_s.arg(wait);
        QTest::newRow("lost during an operation, said after it")
            << u"0x72:0 vanish"_s << u"open-port read-keys"_s
            << opened
                + u" | off | read-keys 30 %1 | read-keys 30 %1 | awaited | read-keys 31 %2 | "
                  "read-keys 31 %2 | on | read-keys -1 LOST"_s.arg(
                      wait, u"No answer from terminal (time-out)"_s);
    }

    void sessionSignals()
    {
        QFETCH(QString, rule);
        QFETCH(QString, script);
        QFETCH(QString, expected);
        LanguageTable languages;
        DemoPorts ports;
        ReaderSession session(ports, ReaderBench::englishTexts(languages));
        QStringList seen;
        connect(&session, &ReaderSession::controlsEnabled, this,
                [&seen](bool on) { seen << (on ? u"on"_s : u"off"_s); });
        connect(&session, &ReaderSession::answerAwaited, this, [&seen] { seen << u"awaited"_s; });
        connect(&session, &ReaderSession::statusChanged, this, [&seen](const OperationStep &step) {
            // The code's text, without its label: the labels are the operations' own.
            seen << (step.operation ? QString(operationEntry(*step.operation).name) : u"-"_s) + u' '
                    + QString::number(step.result) + u' '
                    + step.line.mid(step.label.size()).trimmed();
        });
        for (const QString &name : script.split(u' ')) {
            if (session.portOpen() && !rule.isEmpty())
                QVERIFY(ports.lastDevice()->terminal().addRule(rule));
            session.run(*operationNamed(name), { u"1"_s });
        }
        QTRY_COMPARE(seen.join(u" | "_s),
                     QString(expected).replace(u"LOST"_s, englishLine(Mis::PortLost)));
    }

    void firmwareVersionAndBeep()
    {
        ReaderBench bench;
        GetFWVersion(bench.session);
        QCOMPARE(bench.session.lastStatus(),
                 u"GetFWVersion: "_s + bench.GetMisResp(0) + u" >> PTV-SIM 1.0"_s);
        QVERIFY(bench.terminal().addRule(u"0xF3 code=T"_s));
        GetFWVersion(bench.session);
        QCOMPARE(bench.session.lastStatus(), u"GetFWVersion: "_s + bench.GetMisResp('T'));

        // The beep is only sent: success with the port open, whatever the terminal does.
        QVERIFY(bench.terminal().addRule(u"0xBB silent"_s));
        BeepSound(bench.session);
        QCOMPARE(bench.session.lastStatus(), u"BeepSound: "_s + bench.GetMisResp(0));
        QCOMPARE(bench.dataReceived(2), '\x01' + QByteArray(40, ' '));
        bench.session.closePort();
        BeepSound(bench.session);
        QCOMPARE(bench.session.lastStatus(), u"BeepSound: "_s + bench.GetMisResp(255));
    }

    // The key download's list: sector p's key at position p, zeros in front of a short one,
    // except that the master card (1) puts sector 2's key at 1 and the old key at 2, and the
    // other cards (2) swap sectors 1 and 2.
    void keyList()
    {
        ReaderBench bench;
        QByteArray inOrder;
        for (int i = 0; i < 16; ++i) {
            bench.values.keys[i] = i == 7 ? u"7"_s : HexByte(quint8(i)).repeated(6);
            inOrder += i == 7 ? hex("000000000007") : QByteArray(6, char(i));
        }
        const auto at1and2 = [&](const QByteArray &keys) {
            return QByteArray(inOrder).replace(6, 12, keys).toHex(' ');
        };
        const ReaderFields &fields = bench.session.fields();
        QCOMPARE(::keyList(fields, 0).toHex(' '), inOrder.toHex(' '));
        QCOMPARE(::keyList(fields, 1).toHex(' '), at1and2(QByteArray(6, 2) + hex("5A17C3E09B42")));
        QCOMPARE(::keyList(fields, 2).toHex(' '), at1and2(QByteArray(6, 2) + QByteArray(6, 1)));
    }

    void cardRecords_data()
    {
        QTest::addColumn<QString>("card");
        QTest::addColumn<QString>("text"); // sector 1's key, the message, or the read mode
        QTest::addColumn<QString>("number"); // the message slot or the block number
        QTest::addColumn<QByteArray>("record"); // its start, as long as given

        QTest::newRow("master card, key with markers")
            << u"master"_s << u"020380a1b2c3"_s << QString()
            << hex("6900000203 0000 020380A1B2C3 00 02 9D");
        QTest::newRow("message 8, empty")
            << u"messages"_s << QString() << u"8"_s
            << hex("530000002008FFFFFFFFFFFFFFFFFFFF") + QByteArray(31, ' ') + hex("E0");
        QTest::newRow("40 characters cut to 31") << u"messages"_s << QString(40, u'x') << u"2"_s
                                                 << hex("530000002002FFFFFFFFFFFFFFFFFFF9")
                + QByteArray(31, 'x') + char((31 * 'x') & 0xFF);
        QTest::newRow("Windows-1252, ? for the rest")
            << u"messages"_s << u"\u00f1\u20ac\u4e2d"_s << u"4"_s
            << hex("530000002004FFFFFFFFFFFFFFFFFFFB F1803F") + QByteArray(28, ' ')
                + char((0xF1 + 0x80 + 0x3F + 28 * 0x20) & 0xFF);
        // The key of the data block's sector follows in blocks 1 and 2.
        const QByteArray keyBlocks = hex("0F A1B2C3D4E5F6") + QByteArray(24, '\0') + hex("D4");
        QTest::newRow("configuration, opening texts")
            << u"config"_s << u"0- UID de tarjeta"_s << u"&H09"_s
            << hex("54000002090091010F04092040FF010E") + keyBlocks;
        QTest::newRow("configuration, data block 63 of sector 15")
            << u"config"_s << u"2- Bloque de datos"_s << u"63"_s
            << hex("54000002090091210F043F2040FF0164") + keyBlocks;
        QTest::newRow("configuration, mode without a digit")
            << u"config"_s << u"UID"_s << u"0"_s
            << hex("54000002090091010F04002040FF0105") + keyBlocks;
    }

    void cardRecords()
    {
        QFETCH(QString, card);
        QFETCH(QString, text);
        QFETCH(QString, number);
        QFETCH(QByteArray, record);

        QByteArray built;
        if (card == u"master") {
            built = masterCardRecord(text);
        } else if (card == u"messages") {
            built = messagesCardRecord(number.toInt(), text);
        } else {
            ReaderFieldStore fields;
            fields.values.config.mode = text;
            fields.values.config.blockNumber = number;
            fields.values.keys[int(readNumber(number).value_or(0)) / 4] = u"a1b2c3d4e5f6"_s;
            built = configCardRecord(fields.values.config, fields).record;
        }
        QCOMPARE(built.left(record.size()).toHex(' '), record.toHex(' '));
        QCOMPARE(built.size(), card == u"master" ? 49 : 48);
    }

    void cardWrites_data()
    {
        QTest::addColumn<CardOperation>("operation");
        QTest::addColumn<QString>("card"); // as the status lines name it
        QTest::addColumn<int>("index"); // 0 Init + Set Card, 1 Set Card
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("blockNumber");
        QTest::addColumn<QList<int>>("codes"); // the commands the terminal receives
        QTest::addColumn<int>("download"); // the key download's result
        QTest::addColumn<int>("set"); // the set step's result, or minus the message that stops it

        const int keys = Cmd::DownloadKeys, init = Cmd::InitCfgCard, set = Cmd::SetCfgCard;
        const CardOperation master = cmdCfgMaster, messages = cmdCfgMis, config = cmdCfgConfig;
        const QString block = u"&H09"_s, card = u"Card"_s, mis = u"Mis"_s;
        using L = QList<int>;
        QTest::newRow("master card")
            << master << card << 0 << QString() << block << L { keys, init, set } << 0 << 0;
        QTest::newRow("messages card, Set Card")
            << messages << mis << 1 << QString() << block << L { keys, set, set, set } << 0 << 0;
        QTest::newRow("configuration card") << config << u"Config"_s << 0 << QString() << block
                                            << L { keys, init, set, set, set } << 0 << 0;
        QTest::newRow("failing key download ends it")
            << messages << mis << 0 << u"0x73 code=K"_s << block << L { keys } << int('K') << 0;
        QTest::newRow("init answered with an error, still set")
            << messages << mis << 0 << u"0x75 code=E"_s << block << L { keys, init, set, set, set }
            << 0 << 0;
        QTest::newRow("init not answered, still set")
            << master << card << 0 << u"0x75 silent"_s << block << L { keys, init, set } << 0 << 0;
        QTest::newRow("failing block 1 stops block 2")
            << messages << mis << 0 << u"0x81:1 code=B"_s << block << L { keys, init, set, set }
            << 0 << int('B');
        QTest::newRow("block without a key box writes no block")
            << config << u"Config"_s << 0 << QString() << u"64"_s << L { keys, init } << 0 << -177;
    }

    void cardWrites()
    {
        QFETCH(CardOperation, operation);
        QFETCH(QString, card);
        QFETCH(int, index);
        QFETCH(QString, rule);
        QFETCH(QString, blockNumber);
        QFETCH(QList<int>, codes);
        QFETCH(int, download);
        QFETCH(int, set);

        ReaderBench bench;
        for (int i = 0; i < 16; ++i)
            bench.values.keys[i] = bench.terminal().keys()[i];
        bench.values.config.blockNumber = blockNumber;
        if (!rule.isEmpty())
            QVERIFY(bench.terminal().addRule(rule));
        operation(bench.session, index);

        QCOMPARE(bench.codesReceived(), codes);
        QStringList expected { u"DownloadKeys: "_s + bench.GetMisResp(30),
                               u"DownloadKeys: "_s + bench.GetMisResp(quint8(download)) };
        if (download == 0 && index == 0) // the init step always reports success
            expected << u"InitCfg%1: "_s.arg(card) + bench.GetMisResp(30)
                     << u"InitCfg%1: "_s.arg(card) + bench.GetMisResp(0);
        if (download == 0) {
            expected << u"SetCfg%1: "_s.arg(card) + bench.GetMisResp(30)
                     << u"SetCfg%1: "_s.arg(card)
                    + (set < 0 ? bench.session.GetMis(-set) : bench.GetMisResp(quint8(set)));
        }
        QCOMPARE(bench.statusLines(), expected);
        QCOMPARE(bench.enableCalls().count(true), 1);
        QCOMPARE(bench.enableCalls().last(), true);

        QCOMPARE(bench.dataReceived(0), ::keyList(bench.session.fields(), card == u"Card" ? 1 : 2));
        if (index == 0 && download == 0)
            QCOMPARE(bench.dataReceived(1), QByteArray("0100000000001001") + QByteArray(69, '\0'));
        // Block k of the record in the k-th set command, as the terminal keeps it.
        const QMap<int, QByteArray> written = bench.terminal().writtenBlocks();
        QCOMPARE(written.size(), codes.count(Cmd::SetCfgCard));
        for (int k = 0; k < written.size(); ++k) {
            const QByteArray data = bench.dataReceived(codes.indexOf(Cmd::SetCfgCard) + k);
            QCOMPARE(data, QByteArray("\x02") + char(k) + written.value(k));
        }
    }

    // The configuration fields as typed: UART0, UART1, start, end, block, refresh, backlight.
    void configFields_data()
    {
        QTest::addColumn<QString>("typed"); // the seven fields, | between them
        QTest::addColumn<QByteArray>("result"); // their record bytes, or the message naming one
        QTest::newRow("readings") << u"3.5|145|&H12|20|9| &H20|abc"_s << "04 91 24 09 20 00"_ba;
        QTest::newRow("&H100") << u"&H100|0|0|0|0|0|0"_s << "message 170"_ba;
        QTest::newRow("&HFFFF is -1") << u"0|&HFFFF|0|0|0|0|0"_s << "message 171"_ba;
        QTest::newRow("255.5 rounds to 256") << u"0|0|255.5|0|0|0|0"_s << "message 172"_ba;
        QTest::newRow("negative") << u"0|0|0|-1|0|0|0"_s << "message 173"_ba;
        QTest::newRow("256") << u"0|0|0|0|256|0|0"_s << "message 174"_ba;
        QTest::newRow("1e3") << u"0|0|0|0|0|1e3|0"_s << "message 175"_ba;
        QTest::newRow("beyond 32 bits") << u"0|0|0|0|0|0|&HFFFFFFFFF"_s << "message 176"_ba;
        QTest::newRow("block 64 has no key box") << u"0|0|0|0|64|0|0"_s << "message 177"_ba;
    }

    void configFields()
    {
        QFETCH(QString, typed);
        QFETCH(QByteArray, result);
        const QStringList t = typed.split(u'|');
        const ConfigFieldTexts fields { t[0], t[1], u"0"_s, t[2], t[3], t[4], t[5], t[6] };
        const CardRecordOrError built = configCardRecord(fields, ReaderFieldStore());
        if (built.errorMessage != 0)
            QCOMPARE("message " + QByteArray::number(built.errorMessage), result);
        else
            QCOMPARE((built.record.mid(5, 2) + built.record.mid(9, 4)).toHex(' '), result);
    }

    void answers_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<int>("result");
        QTest::addColumn<QList<int>>("shown"); // intermediate codes put on the status line

        using L = QList<int>;
        QTest::newRow("plain answer") << u"0x72 answer"_s << 0 << L {};
        QTest::newRow("intermediate codes 1 to 29, then the answer")
            << u"0x72 inter=1,6,29 then answer"_s << 0 << L { 1, 6, 29 };
        QTest::newRow("code 30 changes nothing") << u"0x72 wait then answer"_s << 0 << L {};
        QTest::newRow("code 30 alone times out") << u"0x72 wait"_s << 31 << L {};
        QTest::newRow("final error") << u"0x72 code=K"_s << int('K') << L {};
        QTest::newRow("bad check field dropped") << u"0x72 badcrc"_s << 31 << L {};
        QTest::newRow("second byte not 1B dropped") << u"0x72 badheader"_s << 31 << L {};
        QTest::newRow("length one too large dropped") << u"0x72 longlen"_s << 31 << L {};
        QTest::newRow("bad frame, then a good one") << u"0x72 badcrc then answer"_s << 0 << L {};
        QTest::newRow("unescaped 03 inside") << u"0x72 raw03"_s << 0 << L {};
        QTest::newRow("unescaped code 3 is an intermediate code")
            << u"0x72 code=3 rawcode then answer"_s << 0 << L { 3 };
        QTest::newRow("unescaped code 2 is lost") << u"0x72 code=2 rawcode"_s << 31 << L {};
        QTest::newRow("split frame") << u"0x72 split=4 chunkgap=3"_s << 0 << L {};
    }

    void answers()
    {
        QFETCH(QString, rule);
        QFETCH(int, result);
        QFETCH(QList<int>, shown);

        ReaderBench bench;
        QVERIFY(bench.terminal().addRule(rule));
        QByteArray answer;
        QCOMPARE(int(queryKey(bench, answer)), result);
        QStringList lines;
        for (int code : shown)
            lines << bench.GetMisResp(quint8(code));
        QCOMPARE(bench.statusLines(), lines);
        QCOMPARE(answer, result == 0 ? QByteArray("A0A1A2A3A4A4") : QByteArray("untouched"));
    }

    // 20 ticks for the first answer, 150 after each intermediate code, and no processor time spent
    // waiting. Ticks may come late on a busy machine, never early: only the lower bounds are tight.
    void waitBudgets()
    {
        ReaderBench bench(5ms);
        QVERIFY(bench.terminal().addRule(u"0x72#1 silent"_s));
        QVERIFY(bench.terminal().addRule(u"0x72#2 inter=4"_s));
        QElapsedTimer clock;
        QByteArray answer;
        const double cpuBefore = processorSeconds();
        clock.start();
        QCOMPARE(int(queryKey(bench, answer)), 31);
        QVERIFY2(clock.elapsed() >= 90, qPrintable(QString::number(clock.elapsed())));
        clock.restart();
        QCOMPARE(int(queryKey(bench, answer)), 31);
        QVERIFY2(clock.elapsed() >= 700, qPrintable(QString::number(clock.elapsed())));
        const double cpuSeconds = processorSeconds() - cpuBefore;
        QVERIFY2(cpuSeconds < 0.3, qPrintable(QString::number(cpuSeconds)));
        QCOMPARE(bench.statusLines(), QStringList { bench.GetMisResp(4) });
    }

    // SendCommand hands back the identifier as bytes and the data escaped, port open or not; with
    // the port closed nothing is written and nothing awaited.
    void portNotOpenAndArguments()
    {
        ReaderBench bench;
        for (bool open : { true, false }) {
            if (!open)
                bench.session.closePort();
            QString termId = GetTermID();
            QByteArray data = hex("02038041");
            QCOMPARE(int(bench.session.SendCommand(Cmd::DownloadKeys, termId, data)),
                     open ? 0 : 255);
            QCOMPARE(termId, u"\u0099\u0099\u0099"_s);
            QCOMPARE(data, hex("808280838080 41"));
        }
        QByteArray answer;
        QCOMPARE(int(queryKey(bench, answer)), 255);
        QCOMPARE(answer, QByteArray("untouched"));
        QCOMPARE(bench.codesReceived(), QList<int> { Cmd::DownloadKeys });
        QCOMPARE(bench.dataReceived(0), hex("02038041"));
    }

    // The budget is tested before an intermediate code is shown: when the last tick and the code
    // arrive in the same pass, the code is returned unshown.
    void lastTickAndIntermediateCodeInOnePass()
    {
        ReaderBench bench(1h); // no tick of its own
        QVERIFY(bench.terminal().addRule(u"0x72 silent"_s));
        // Once the wait is under way: what is pending when the command goes out is set aside.
        QTimer::singleShot(50, &bench.session, [&bench] {
            ReaderLink &link = bench.session.link();
            link.iTimeOut = 1;
            for (char b : framed(hex("1B0008000000 00 05")))
                link.receiveByte(b);
            link.Timer1_Timer();
        });
        QByteArray answer;
        QCOMPARE(int(queryKey(bench, answer)), 5);
        QVERIFY(bench.statusLines().isEmpty());
        QCOMPARE(answer, QByteArray("untouched"));
    }

    void frameTrace_data()
    {
        QTest::addColumn<bool>("showKeys"); // PORTEVAL_TRACE_KEYS=1
        QTest::newRow("keys masked") << false;
        QTest::newRow("keys shown") << true;
    }

    void frameTrace()
    {
        QFETCH(bool, showKeys);
        if (showKeys)
            qputenv("PORTEVAL_TRACE_KEYS", "1");
        ReaderBench bench;
        qunsetenv("PORTEVAL_TRACE_KEYS");
        traced.clear();
        const QtMessageHandler previous = qInstallMessageHandler(traceOnly);
        GetFWVersion(bench.session);
        QVERIFY(traced.isEmpty()); // off unless asked for

        QLoggingCategory::setFilterRules(u"porteval.link.debug=true"_s);
        QVERIFY(bench.terminal().addRule(u"0xF3 badcrc then answer"_s));
        GetFWVersion(bench.session);
        QVERIFY(bench.terminal().addRule(u"0x72:0 badcrc then answer"_s));
        QVERIFY(bench.terminal().addRule(u"0x72:1 longlen"_s));
        cmdGetInfoKeyCard(bench.session);
        bench.values.keys[1] = u"02B2C3D4E5F6"_s;
        cmdCfgMaster(bench.session, 1);
        QLoggingCategory::setFilterRules(QString());
        qInstallMessageHandler(previous);

        const QStringList sent = traced.filter(u"-> GetInfoKeyCard"_s);
        QCOMPARE(sent.size(), 2);
        QVERIFY(QTime::fromString(sent[0].left(12), u"HH:mm:ss.zzz"_s).isValid());
        QCOMPARE(sent[0].mid(12), u" -> GetInfoKeyCard 02 72 81 08 00 99 99 99 00 50 43 03"_s);
        QCOMPARE(traced.filter(u"<- dropped (check field) GetInfoKeyCard"_s).size(), 1);
        QCOMPARE(traced.filter(u"<- dropped (length)"_s).size(), 1);
        // A dropped frame may hold anything, a key included: "PTV" shows only when keys do.
        const QString version = traced.filter(u"<- dropped (check field) GetFWVersion"_s).value(0);
        QCOMPARE(version.contains(u"50 54 56"_s), showKeys);
        QCOMPARE(traced.filter(u"-- no answer in time to GetInfoKeyCard"_s).size(), 1);
        // The key query's answer is the key itself; the key download is nothing but keys; a master
        // card's block 0 carries sector 1's key (02 00 69 00 00 02 03 00 00 key 00 02 sum, escaped:
        // an escape pair is one byte, masked as a whole).
        const QStringList key = traced.filter(u"<- GetInfoKeyCard code 0"_s);
        QCOMPARE(key.size(), 1);
        const QString keyBytes = showKeys ? u"41 30 41 31 41 32 41 33 41 34 41 30"_s
                                          : QStringList(12, u"**"_s).join(u' ');
        QVERIFY2(key[0].contains(u"code 0 02 1B 00 14 00 00 00 00 00 "_s + keyBytes + u' '),
                 qPrintable(key[0]));
        QCOMPARE(traced.filter(u"-> DownloadKeys"_s).value(0).count(u"**"_s), showKeys ? 0 : 96);
        const QString block = traced.filter(u"-> SetCfgCard"_s).value(0);
        QVERIFY2(block.contains(u"80 82 00 69 00 00 80 82 80 83 00 00 "_s
                                + (showKeys ? u"80 82 B2 C3 D4 E5 F6"_s : u"** ** ** ** ** ** **"_s)
                                + u" 00 80 82"_s),
                 qPrintable(block));
    }

    // Whatever arrives while no command waits is set aside with the event loop turning, as in the
    // window: never an answer, its data masked whole in the trace and in the monitor, whatever
    // was sent last; a row never shows an answer again. The next command gets its own answer.
    void setAside_data()
    {
        QTest::addColumn<QString>("before"); // what ran first: "", version, card
        QTest::addColumn<QByteArray>("stale");
        QTest::addColumn<bool>("idle"); // the stale bytes are in before the next command goes
        QTest::addColumn<QByteArray>("rowShown"); // the last set-aside row's bytes
        const QByteArray key = buildAnswerFrame(0, "A1B2C3D4E5F6");
        const QByteArray junk("A1B2C3D4E5F6");
        QTest::newRow("idle before the first command") << QString() << key << true << key;
        QTest::newRow("idle after a version query") << u"version"_s << key << true << key;
        QTest::newRow("idle after a card operation") << u"card"_s << key << true << key;
        QTest::newRow("a tail without its start") << QString() << key.mid(4) << true << key.mid(4);
        QTest::newRow("junk after an accepted frame") << QString() << key + junk << true << junk;
        QTest::newRow("junk and an end marker after it")
            << QString() << key + junk + '\x03' << true << junk + '\x03';
        QTest::newRow("still on its way as the command goes")
            << u"version"_s << key << false << key;
    }

    void setAside()
    {
        QFETCH(QString, before);
        QFETCH(QByteArray, stale);
        QFETCH(bool, idle);
        QFETCH(QByteArray, rowShown);
        ReaderBench bench;
        LanguageTable languages;
        FrameMonitorModel monitor(languages);
        QList<FrameEvent> setAside;
        bench.session.setFrameListener([&](const FrameEvent &event) {
            monitor.append(event);
            if (event.setAside)
                setAside << event;
        });
        if (before == u"version")
            GetFWVersion(bench.session);
        else if (before == u"card")
            bench.session.run(Operation::WriteMaster, { {}, 1 });
        traced.clear();
        QLoggingCategory::setFilterRules(u"porteval.link.debug=true"_s);
        const QtMessageHandler previous = qInstallMessageHandler(traceOnly);
        const quint64 received = bench.session.bytesReceived();
        bench.terminal().sendRaw(stale);
        if (idle)
            QTRY_COMPARE(bench.session.bytesReceived(), received + stale.size());
        QString version;
        QCOMPARE(int(GetFWVersion(bench.session, &version)), 0);
        QLoggingCategory::setFilterRules(QString());
        qInstallMessageHandler(previous);

        QCOMPARE(version, u"PTV-SIM 1.0"_s);
        QVERIFY(!setAside.isEmpty());
        QCOMPARE(setAside.last().frame, rowShown);
        monitor.flush();
        const QString keyInHex = QString::fromLatin1(QByteArray("A1B2").toHex(' ').toUpper());
        QString shown = traced.join(u'\n');
        for (int row = 0; row < monitor.rowCount(); ++row)
            shown += u'\n' + monitor.rowText(row);
        QVERIFY2(shown.contains(u"set aside"_s) && !shown.contains(keyInHex), qPrintable(shown));
    }

    // Each row is read whole, byte by byte and two bytes at a time.
    void reading_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("frames"); // the frames read: describe(), or the fault
        QTest::addColumn<QByteArray>("answers");

        const QByteArray good = keyQuery(1);
        QByteArray badCheck = good;
        badCheck[badCheck.size() - 2] = char(badCheck[badCheck.size() - 2] ^ 0x10);
        QByteArray badSecond = good;
        badSecond[2] = char(0x82);
        const QByteArray dd(0x102 - 7, 'd');
        const QByteArray key1 = "00 A0A1A2A3A4A1";

        QTest::newRow("key of sector 2")
            << keyQuery(2) << "72 %02"_ba << QByteArray("00 020380A1B2C3");
        QTest::newRow("raw 02 in the length") << command(0x99, dd) << "99 " + dd << "E"_ba;
        QTest::newRow("bad check field") << badCheck + good << "check field, 72 %01"_ba << key1;
        QTest::newRow("bad second header byte") << badSecond + good << "header, 72 %01"_ba << key1;
        QTest::newRow("wrong length")
            << command(Cmd::GetInfoKeyCard, {}) << "72"_ba << QByteArray("L");
    }

    void reading()
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

    void rules_data()
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
            << u"0x81:1 code=B"_s
            << command(Cmd::SetCfgCard, hex("0200") + QByteArray(16, 'b'))
                + command(Cmd::SetCfgCard, hex("0201") + QByteArray(16, 'b'))
            << "00, B"_ba << any;
        QTest::newRow("first rule wins, then the next")
            << u"0x72#1 code=E|0x72 code=K"_s << k5 + k5 << "E, K"_ba << any;
        QTest::newRow("steps 20 ms apart") << u"0x72 inter=5 then wait then answer"_s << k5
                                           << "05, 1E, 00 A0A1A2A3A4A5"_ba << QList { 0, 20, 40 };
        QTest::newRow("own gaps, silent step holds back")
            << u"0x72 silent gap=60 then inter=6 gap=60 then answer gap=0"_s << k5
            << "06, 00 A0A1A2A3A4A5"_ba << QList { 120, 120 };
    }

    void rules()
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
        for (qsizetype i = 0; i < atMs.size(); ++i) // a busy machine only makes them later
            QVERIFY2(program.atMs[i] >= atMs[i],
                     qPrintable(u"answer %1 after %2 ms"_s.arg(i).arg(program.atMs[i])));
    }

    void pacing()
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
        // About 260 pieces on an idle machine; a loaded one wakes the sender less often, and
        // each wake-up sends all that is due.
        QVERIFY2(program.chunks >= 10, "sent in a few bursts rather than spread over the time");
    }

    // Random trouble, the same for the same seed; with no probabilities, plain answers.
    void chaos()
    {
        const auto run = [](const SimChaos &chaos) {
            TerminalSimulator terminal;
            terminal.setChaos(chaos);
            auto program = std::make_unique<Program>(terminal);
            for (int i = 0; i < 30; ++i)
                terminal.receive(keyQuery(i % kSimSectors));
            if (!QTest::qWaitFor([&] { return !terminal.isSending(); }, 10000))
                program->drops = -1; // never finished
            return program;
        };
        SimChaos stormy { true, 7, 0.1, 0.1, 0.3, 0.3 };
        const auto first = run(stormy);
        QVERIFY(first->drops > 0 && first->chunks > first->answers.size());
        QCOMPARE(run(stormy)->received, first->received);
        stormy.seed = 8;
        QVERIFY(run(stormy)->received != first->received);
        const auto calm = run({ true, 7, 0, 0, 0, 0 });
        QCOMPARE(calm->answers.size(), 30);
        QCOMPARE(calm->chunks, 30); // none split
    }

    // The standalone terminal's command line: every option it takes, and what it says about
    // mistakes.
    void commandLine_data()
    {
        QTest::addColumn<QString>("arguments"); // | between them
        QTest::addColumn<QString>("outcome"); // the options read, or part of the complaint
        QTest::newRow("every option")
            << u"--on|0x72:5#2-4|code=E|--baud|38400|--delay|15|--key|3=0102030405ab|--firmware|"
               "X 2|--chaos|seed=7,silent=0.02,inter=0.25|--log|f.json"_s
            << u"38400 15 0102030405AB X 2 7 0.02 0.25 f.json"_s;
        QTest::newRow("unknown option") << u"--loud"_s << u"unknown option"_s;
        QTest::newRow("range backwards") << u"--on|0x72#3-2 answer"_s << u"#3-2"_s;
        QTest::newRow("over 1 in all") << u"--chaos|silent=0.6,corrupt=0.6"_s << u"exceed 1"_s;
        QTest::newRow("not a number") << u"--chaos|split=nan"_s << u"not a probability"_s;
    }

    void commandLine()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, outcome);
        QString error;
        const auto parsed = parseSimArguments(arguments.split(u'|'), &error);
        if (!parsed) {
            QVERIFY2(error.contains(outcome), qPrintable(error));
            return;
        }
        const SimOptions &o = parsed->options;
        const QStringList read { QString::number(o.baudRate),
                                 QString::number(o.answerDelayMs),
                                 o.keys[3],
                                 o.firmwareVersion,
                                 QString::number(o.chaos.seed),
                                 QString::number(o.chaos.silent),
                                 QString::number(o.chaos.inter),
                                 parsed->logFile };
        QCOMPARE(read.join(u' '), outcome);
        SimRule rule { 0x72, 5, 2, 4, { SimStep() } };
        rule.steps[0].code = 'E';
        QVERIFY(o.rules == QList<SimRule> { rule });
    }
};

QTEST_GUILESS_MAIN(TestOperations)
#include "tst_operations.moc"
