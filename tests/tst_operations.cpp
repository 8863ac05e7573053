// The reader operations against the in-process simulated terminal: the commands they send,
// byte for byte, and the status lines they show, line by line.
#include "commands/card_write.h"
#include "commands/cards.h"
#include "commands/key_card_query.h"
#include "link/calc_crc16.h"
#include "link/command_set.h"
#include "link/frame.h"
#include "reader_bench.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text));
}

// The codes of the commands the terminal received, in order.
QList<int> commandCodes(const TerminalSimulator &terminal)
{
    QList<int> codes;
    for (const ReceivedFrame &frame : terminal.receivedFrames())
        codes << frame.code;
    return codes;
}

QByteArray dataOf(const TerminalSimulator &terminal, int index)
{
    return terminal.receivedFrames().value(index).data;
}

} // namespace

class TestOperations : public QObject
{
    Q_OBJECT

private slots:
    void keyCardQueryComplete();
    void keyCardQueryFailures_data();
    void keyCardQueryFailures();
    void firmwareVersionAndBeep();

    void normalizedKeys_data();
    void normalizedKeys();
    void keyListMappings();
    void masterCard_data();
    void masterCard();
    void cardSequenceFailures_data();
    void cardSequenceFailures();

    void messagesCardRecords_data();
    void messagesCardRecords();
    void messagesCardOnTheWire();

    void configCardBlocks_data();
    void configCardBlocks();
    void configFieldReadings_data();
    void configFieldReadings();
    void configFieldErrorSendsNoBlock();

    void dataLengthsMatchTheCommandTable();
};

void TestOperations::keyCardQueryComplete()
{
    ReaderBench bench;
    cmdGetInfoKeyCard(bench);

    QStringList expected { u"GetInfoKeyCard: "_s + bench.text(30) };
    for (int i = 0; i < 16; ++i) {
        expected << u"GetInfoKeyCard[%1]: "_s.arg(i) + bench.text(30);
        expected << u"GetInfoKeyCard[%1]: "_s.arg(i) + bench.text(0);
    }
    expected << u"GetInfoKeyCard[16]: "_s + bench.text(0);
    QCOMPARE(bench.statusLines, expected);
    QCOMPARE(bench.statusLines.size(), 34);
    QCOMPARE(bench.enableCalls, (QList<bool> { false, true }));
    QVERIFY(bench.keyCardRead);
    for (int i = 0; i < 16; ++i) {
        QCOMPARE(bench.keys[i], bench.terminal().keys()[i]);
        // The sector travels as one raw byte; 2 and 3 are escaped on the wire only.
        QCOMPARE(dataOf(bench.terminal(), i), QByteArray(1, char(i)));
        QCOMPARE(bench.terminal().receivedFrames()[i].raw,
                 buildCommandFrame(Cmd::GetInfoKeyCard, GetTermID(), QByteArray(1, char(i))));
    }
}

void TestOperations::keyCardQueryFailures_data()
{
    QTest::addColumn<QString>("ruleText");
    QTest::addColumn<bool>("completeReadFirst");
    QTest::addColumn<int>("failingSector");
    QTest::addColumn<int>("code");

    QTest::newRow("error at sector 0") << u"0x72:0 code=E"_s << false << 0 << int('E');
    QTest::newRow("error at sector 5 after a complete read")
        << u"0x72:5 code=K"_s << true << 5 << int('K');
    QTest::newRow("no answer at sector 3") << u"0x72:3 silent"_s << false << 3 << 31;
    QTest::newRow("unknown code at sector 15") << u"0x72:15 code=0x62"_s << false << 15 << 0x62;
}

void TestOperations::keyCardQueryFailures()
{
    QFETCH(QString, ruleText);
    QFETCH(bool, completeReadFirst);
    QFETCH(int, failingSector);
    QFETCH(int, code);

    ReaderBench bench(10ms); // a faster tick keeps the time-out row short
    if (completeReadFirst) {
        cmdGetInfoKeyCard(bench);
        QVERIFY(bench.keyCardRead);
    }
    QVERIFY(bench.terminal().addRule(ruleText));
    bench.statusLines.clear();
    cmdGetInfoKeyCard(bench);

    const QString failing = u"GetInfoKeyCard[%1]: "_s.arg(failingSector) + bench.text(quint8(code));
    QCOMPARE(bench.statusLines.last(), failing);
    QCOMPARE(bench.statusLines.at(bench.statusLines.size() - 2), failing);
    QCOMPARE(bench.statusLines.at(bench.statusLines.size() - 3),
             u"GetInfoKeyCard[%1]: "_s.arg(failingSector) + bench.text(30));
    QCOMPARE(bench.statusLines.size(), 1 + 2 * (failingSector + 1) + 1);
    for (int i = 0; i < 16; ++i)
        QCOMPARE(bench.keys[i].isEmpty(), i >= failingSector);
    QCOMPARE(bench.keyCardRead, completeReadFirst);
    QCOMPARE(bench.enableCalls.last(), true);
}

void TestOperations::firmwareVersionAndBeep()
{
    ReaderBench bench;
    GetFWVersion(bench);
    QCOMPARE(bench.statusLines.last(),
             u"GetFWVersion: "_s + bench.text(0) + u" >> "_s
                 + bench.terminal().options().firmwareVersion);
    QCOMPARE(dataOf(bench.terminal(), 0), QByteArray("0"));

    QVERIFY(bench.terminal().addRule(u"0xF3 code=T"_s));
    GetFWVersion(bench);
    QCOMPARE(bench.statusLines.last(), u"GetFWVersion: "_s + bench.text('T'));

    // Beep is only sent: its line says success with the port open, whatever the terminal does.
    QVERIFY(bench.terminal().addRule(u"0xBB silent"_s));
    BeepSound(bench);
    QCOMPARE(bench.statusLines.last(), u"BeepSound: "_s + bench.text(0));
    QTRY_COMPARE(bench.terminal().receivedFrames().size(), 3);
    QCOMPARE(dataOf(bench.terminal(), 2), '\x01' + QByteArray(40, ' '));

    bench.portOpen = false;
    BeepSound(bench);
    QCOMPARE(bench.statusLines.last(), u"BeepSound: "_s + bench.text(255));
    GetFWVersion(bench);
    QCOMPARE(bench.statusLines.last(), u"GetFWVersion: "_s + bench.text(255));
    QCOMPARE(bench.terminal().receivedFrames().size(), 3);
}

void TestOperations::normalizedKeys_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("key");
    QTest::newRow("12 digits") << u"A0A1A2A3A4A5"_s << hex("A0A1A2A3A4A5");
    QTest::newRow("lower case equals upper case") << u"a0a1a2a3a4a5"_s << hex("A0A1A2A3A4A5");
    QTest::newRow("11 characters get a leading zero") << u"123456789AB"_s << hex("0123456789AB");
    QTest::newRow("13 characters lose the first") << u"F123456789ABC"_s << hex("123456789ABC");
    QTest::newRow("empty is zero") << QString() << hex("000000000000");
    QTest::newRow("non-hex characters") << u"ZZ12"_s << hex("00000000 0012");
}

void TestOperations::normalizedKeys()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, key);
    QCOMPARE(normalizedKey(text).toHex(' '), key.toHex(' '));
}

void TestOperations::keyListMappings()
{
    ReaderBench bench;
    for (int i = 0; i < 16; ++i)
        bench.keys[i] = HexByte(quint8(i)).repeated(6);
    bench.oldKey = u"5A17C3E09B42"_s;
    auto keyAt = [](const QByteArray &list, int position) {
        return list.mid(6 * position, 6);
    };

    const QByteArray master = keyList(bench, 1);
    const QByteArray cards = keyList(bench, 2);
    const QByteArray plain = keyList(bench, 0);
    QCOMPARE(master.size(), 96);
    QCOMPARE(keyAt(master, 1), QByteArray(6, '\x02'));
    QCOMPARE(keyAt(master, 2), hex("5A17C3E09B42"));
    QVERIFY(!master.contains(QByteArray(6, '\x01')));
    QCOMPARE(keyAt(cards, 1), QByteArray(6, '\x02'));
    QCOMPARE(keyAt(cards, 2), QByteArray(6, '\x01'));
    QCOMPARE(keyAt(plain, 1), QByteArray(6, '\x01'));
    QCOMPARE(keyAt(plain, 2), QByteArray(6, '\x02'));
    for (int p : { 0, 3, 9, 15 }) {
        QCOMPARE(keyAt(master, p), QByteArray(6, char(p)));
        QCOMPARE(keyAt(cards, p), QByteArray(6, char(p)));
    }
}

void TestOperations::masterCard_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("sector1Key");
    QTest::addColumn<QList<int>>("codes");
    QTest::addColumn<QByteArray>("setData");

    const QList<int> initAndSet { Cmd::DownloadKeys, Cmd::InitCfgCard, Cmd::SetCfgCard };
    QTest::newRow("Init + Set Card, empty sector 1 key")
        << 0 << QString() << initAndSet << hex("0200 6900000203 0000 000000000000 00 02 02");
    QTest::newRow("Set Card") << 1 << u"A1B2C3D4E5F6"_s
                              << QList<int> { Cmd::DownloadKeys, Cmd::SetCfgCard }
                              << hex("0200 6900000203 0000 A1B2C3D4E5F6 00 02 C7");
    QTest::newRow("key with markers is escaped on the wire")
        << 0 << u"020380A1B2C3"_s << initAndSet
        << hex("0200 6900000203 0000 020380A1B2C3 00 02 9D");
}

void TestOperations::masterCard()
{
    QFETCH(int, index);
    QFETCH(QString, sector1Key);
    QFETCH(QList<int>, codes);
    QFETCH(QByteArray, setData);

    ReaderBench bench;
    for (int i = 0; i < 16; ++i)
        bench.keys[i] = bench.terminal().keys()[i];
    bench.keys[1] = sector1Key;
    cmdCfgMaster(bench, index);

    const TerminalSimulator &terminal = bench.terminal();
    QCOMPARE(commandCodes(terminal), codes);
    const QByteArray keys = dataOf(terminal, 0);
    QCOMPARE(keys.mid(12, 6), hex("5A17C3E09B42")); // the old key takes sector 1's place
    QCOMPARE(keys.mid(6, 6), hex("020380A1B2C3")); // sector 2's key moves to position 1
    if (index == 0) {
        QCOMPARE(dataOf(terminal, 1), cardInitData());
        QCOMPARE(cardInitData(), QByteArray("0100000000001001") + QByteArray(69, '\0'));
    }
    QCOMPARE(dataOf(terminal, codes.size() - 1).toHex(' '), setData.toHex(' '));
    for (const ReceivedFrame &frame : terminal.receivedFrames()) {
        QVERIFY(frame.good());
        QCOMPARE(frame.raw, buildCommandFrame(frame.code, GetTermID(), frame.data));
    }

    QStringList expected { u"DownloadKeys: "_s + bench.text(30),
                           u"DownloadKeys: "_s + bench.text(0) };
    if (index == 0)
        expected << u"InitCfgCard: "_s + bench.text(30) << u"InitCfgCard: "_s + bench.text(0);
    expected << u"SetCfgCard: "_s + bench.text(30) << u"SetCfgCard: "_s + bench.text(0);
    QCOMPARE(bench.statusLines, expected);
    QCOMPARE(bench.enableCalls.first(), false);
    QCOMPARE(bench.enableCalls.last(), true);
    QVERIFY(!bench.enableCalls.mid(0, bench.enableCalls.size() - 1).contains(true));
}

void TestOperations::cardSequenceFailures_data()
{
    QTest::addColumn<QString>("card");
    QTest::addColumn<QString>("ruleText");
    QTest::addColumn<QList<int>>("codes");
    QTest::addColumn<QStringList>("lastLines"); // label, code (decimal)

    const int keysCode = Cmd::DownloadKeys, init = Cmd::InitCfgCard, set = Cmd::SetCfgCard;
    QTest::newRow("failing key download sends nothing else")
        << u"mis"_s << u"0x73 code=K"_s << QList<int> { keysCode }
        << QStringList { u"DownloadKeys: "_s, u"75"_s };
    QTest::newRow("init answered with an error still sets")
        << u"mis"_s << u"0x75 code=E"_s << QList<int> { keysCode, init, set, set, set }
        << QStringList { u"SetCfgMis: "_s, u"0"_s };
    QTest::newRow("init not answered still sets")
        << u"master"_s << u"0x75 silent"_s << QList<int> { keysCode, init, set }
        << QStringList { u"SetCfgCard: "_s, u"0"_s };
    QTest::newRow("failing block 1 stops block 2")
        << u"mis"_s << u"0x81:1 code=B"_s << QList<int> { keysCode, init, set, set }
        << QStringList { u"SetCfgMis: "_s, u"66"_s };
    QTest::newRow("failing block 0 of the configuration card")
        << u"config"_s << u"0x81:0 code=L"_s << QList<int> { keysCode, init, set }
        << QStringList { u"SetCfgConfig: "_s, u"76"_s };
}

void TestOperations::cardSequenceFailures()
{
    QFETCH(QString, card);
    QFETCH(QString, ruleText);
    QFETCH(QList<int>, codes);
    QFETCH(QStringList, lastLines);

    ReaderBench bench(10ms);
    QVERIFY(bench.terminal().addRule(ruleText));
    if (card == u"mis")
        cmdCfgMis(bench, 0);
    else if (card == u"master")
        cmdCfgMaster(bench, 0);
    else
        cmdCfgConfig(bench, 0);

    QCOMPARE(commandCodes(bench.terminal()), codes);
    QCOMPARE(bench.statusLines.last(), lastLines[0] + bench.text(quint8(lastLines[1].toInt())));
    const bool initSent = codes.contains(Cmd::InitCfgCard);
    const QString initLabel = card == u"mis" ? u"InitCfgMis: "_s
        : card == u"master"                  ? u"InitCfgCard: "_s
                                             : u"InitCfgConfig: "_s;
    // The init step always reports success, whatever the terminal said.
    QCOMPARE(bench.statusLines.contains(initLabel + bench.text(0)), initSent);
    QVERIFY(!bench.statusLines.contains(initLabel + bench.text('E')));
    if (!initSent) {
        for (const QString &line : std::as_const(bench.statusLines))
            QVERIFY(line.startsWith(u"DownloadKeys: "_s));
    }
    QCOMPARE(bench.enableCalls.last(), true);
}

void TestOperations::messagesCardRecords_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("record");

    QTest::newRow("slot 1, empty text") << 1 << QString()
                                        << hex("530000002001FFFFFFFFFFFFFFFFFFF8")
            + QByteArray(16, ' ') + QByteArray(15, ' ') + hex("E0");
    QTest::newRow("slot 8") << 8 << QString()
                            << hex("530000002008FFFFFFFFFFFFFFFFFFFF") + QByteArray(31, ' ')
            + hex("E0");
    QTest::newRow("abc") << 3 << u"abc"_s
                         << hex("530000002003FFFFFFFFFFFFFFFFFFFA") + QByteArray("abc")
            + QByteArray(28, ' ') + hex("A6");
    QTest::newRow("40 characters cut to 31")
        << 2 << QString(40, u'x')
        << hex("530000002002FFFFFFFFFFFFFFFFFFF9") + QByteArray(31, 'x') + char((31 * 'x') & 0xFF);
    QTest::newRow("Windows-1252 bytes, unknown characters as ?")
        << 4 << u"\u00f1\u20ac\u4e2d"_s
        << hex("530000002004FFFFFFFFFFFFFFFFFFFB") + hex("F1803F") + QByteArray(28, ' ')
            + char((0xF1 + 0x80 + 0x3F + 28 * 0x20) & 0xFF);
}

void TestOperations::messagesCardRecords()
{
    QFETCH(int, slot);
    QFETCH(QString, text);
    QFETCH(QByteArray, record);
    QCOMPARE(messagesCardRecord(slot, text).toHex(' '), record.toHex(' '));
}

void TestOperations::messagesCardOnTheWire()
{
    ReaderBench bench;
    bench.message = 7;
    bench.messages[7] = u"Thank you \u20ac"_s;
    cmdCfgMis(bench, 1); // Set Card: no init command

    const TerminalSimulator &terminal = bench.terminal();
    QCOMPARE(commandCodes(terminal),
             (QList<int> { Cmd::DownloadKeys, Cmd::SetCfgCard, Cmd::SetCfgCard, Cmd::SetCfgCard }));
    const QByteArray record = messagesCardRecord(8, bench.messages[7]);
    for (int k = 0; k < 3; ++k) {
        QCOMPARE(dataOf(terminal, 1 + k), '\x02' + QByteArray(1, char(k)) + record.mid(16 * k, 16));
        QCOMPARE(terminal.writtenBlocks().value(k), record.mid(16 * k, 16));
    }
    QCOMPARE(
        bench.statusLines,
        (QStringList { u"DownloadKeys: "_s + bench.text(30), u"DownloadKeys: "_s + bench.text(0),
                       u"SetCfgMis: "_s + bench.text(30), u"SetCfgMis: "_s + bench.text(0) }));
}

void TestOperations::configCardBlocks_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("blockNumber");
    QTest::addColumn<int>("sector");
    QTest::addColumn<QByteArray>("block0");

    QTest::newRow("opening texts, UID mode")
        << u"0- UID de tarjeta"_s << u"&H09"_s << 2 << hex("54000002090091010F04092040FF010E");
    QTest::newRow("opening texts, data-block mode")
        << u"2- Bloque de datos"_s << u"&H09"_s << 2 << hex("54000002090091210F04092040FF012E");
    QTest::newRow("block 63 takes sector 15")
        << u"2- Bloque de datos"_s << u"63"_s << 15 << hex("54000002090091210F043F2040FF0164");
    QTest::newRow("mode text without a digit reads 0")
        << u"UID"_s << u"0"_s << 0 << hex("54000002090091010F04002040FF0105");
}

void TestOperations::configCardBlocks()
{
    QFETCH(QString, mode);
    QFETCH(QString, blockNumber);
    QFETCH(int, sector);
    QFETCH(QByteArray, block0);

    ReaderBench bench;
    bench.config.mode = mode;
    bench.config.blockNumber = blockNumber;
    bench.keys[sector] = u"a1b2c3d4e5f6"_s;
    cmdCfgConfig(bench, 0);

    const TerminalSimulator &terminal = bench.terminal();
    QCOMPARE(commandCodes(terminal),
             (QList<int> { Cmd::DownloadKeys, Cmd::InitCfgCard, Cmd::SetCfgCard, Cmd::SetCfgCard,
                           Cmd::SetCfgCard }));
    QCOMPARE(dataOf(terminal, 2).mid(2).toHex(' '), block0.toHex(' '));
    const QByteArray key = hex("A1B2C3D4E5F6");
    const QByteArray rest = '\x0F' + key + QByteArray(24, '\0');
    QCOMPARE(dataOf(terminal, 3).mid(2).toHex(' '), rest.left(16).toHex(' '));
    const char sum = char((0x0F + 0xA1 + 0xB2 + 0xC3 + 0xD4 + 0xE5 + 0xF6) & 0xFF);
    QCOMPARE(dataOf(terminal, 4).mid(2).toHex(' '), (rest.mid(16, 15) + sum).toHex(' '));
    QCOMPARE(bench.statusLines.last(), u"SetCfgConfig: "_s + bench.text(0));
}

void TestOperations::configFieldReadings_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("recordOffset");
    QTest::addColumn<int>("expected"); // the record byte, or -message number of the error

    QTest::newRow("145 decimal") << u"uart1"_s << u"145"_s << 6 << 0x91;
    QTest::newRow("&H91") << u"uart1"_s << u"&H91"_s << 6 << 0x91;
    QTest::newRow("blank before &H20") << u"refresh"_s << u" &H20"_s << 11 << 0x20;
    QTest::newRow("abc reads 0") << u"backlight"_s << u"abc"_s << 12 << 0;
    QTest::newRow("2.5 rounds to even 2") << u"uart0"_s << u"2.5"_s << 5 << 2;
    QTest::newRow("3.5 rounds to even 4") << u"uart0"_s << u"3.5"_s << 5 << 4;
    QTest::newRow("&H12 start position keeps low half") << u"start"_s << u"&H12"_s << 9 << 0x24;
    QTest::newRow("20 end position keeps low half") << u"end"_s << u"20"_s << 9 << 0x04;
    QTest::newRow("empty reads 0") << u"backlight"_s << QString() << 12 << 0;
    QTest::newRow("&H100 too large") << u"uart0"_s << u"&H100"_s << 5 << -170;
    QTest::newRow("&HFFFF is -1") << u"uart1"_s << u"&HFFFF"_s << 6 << -171;
    QTest::newRow("255.5 rounds to 256") << u"start"_s << u"255.5"_s << 9 << -172;
    QTest::newRow("negative end") << u"end"_s << u"-1"_s << 9 << -173;
    QTest::newRow("block 256") << u"block"_s << u"256"_s << 10 << -174;
    QTest::newRow("refresh 1e3") << u"refresh"_s << u"1e3"_s << 11 << -175;
    QTest::newRow("backlight &HFFFFFFFFF overflows")
        << u"backlight"_s << u"&HFFFFFFFFF"_s << 12 << -176;
    QTest::newRow("block 64 has no key box") << u"block"_s << u"64"_s << 10 << -177;
}

void TestOperations::configFieldReadings()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(int, recordOffset);
    QFETCH(int, expected);

    ReaderBench bench;
    ConfigFieldTexts fields = bench.config;
    QString *target = field == u"uart0" ? &fields.uart0
        : field == u"uart1"             ? &fields.uart1
        : field == u"start"             ? &fields.startPosition
        : field == u"end"               ? &fields.endPosition
        : field == u"block"             ? &fields.blockNumber
        : field == u"refresh"           ? &fields.refreshTime
                                        : &fields.backlightTime;
    *target = text;
    const CardRecordOrError built = configCardRecord(fields, bench);
    if (expected < 0) {
        QCOMPARE(built.errorMessage, -expected);
        QVERIFY(built.record.isEmpty());
        QVERIFY(!bench.GetMis(-expected).isEmpty());
    } else {
        QCOMPARE(built.errorMessage, 0);
        QCOMPARE(built.record.size(), 48);
        QCOMPARE(quint8(built.record[recordOffset]), quint8(expected));
    }
}

void TestOperations::configFieldErrorSendsNoBlock()
{
    ReaderBench bench;
    bench.config.blockNumber = u"&H40"_s;
    cmdCfgConfig(bench, 0);
    QCOMPARE(commandCodes(bench.terminal()), (QList<int> { Cmd::DownloadKeys, Cmd::InitCfgCard }));
    QCOMPARE(bench.statusLines.last(), u"SetCfgConfig: "_s + bench.GetMis(kBlockWithoutKeyMessage));
    QCOMPARE(bench.statusLines.at(bench.statusLines.size() - 2),
             u"SetCfgConfig: "_s + bench.text(30));
    QCOMPARE(bench.enableCalls.last(), true);
}

void TestOperations::dataLengthsMatchTheCommandTable()
{
    ReaderBench bench;
    cmdGetInfoKeyCard(bench);
    cmdCfgMaster(bench, 0);
    GetFWVersion(bench);
    BeepSound(bench);
    QTRY_VERIFY(bench.terminal().receivedFrames().size() == 16 + 3 + 2);
    for (const ReceivedFrame &frame : bench.terminal().receivedFrames()) {
        const TerminalCommand *command = findCommand(frame.code);
        QVERIFY(command);
        QCOMPARE(frame.data.size(), command->dataLength);
    }
}

QTEST_GUILESS_MAIN(TestOperations)
#include "tst_operations.moc"
