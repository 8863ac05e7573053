// The rules that need neither a terminal nor a window: hex text, command and answer frames,
// typed numbers, port order, Windows-1252 text, response texts, control state, the language
// files and the history file. (Card records are checked whole in tst_operations.)
#include "commands/card_record.h"
#include "history/history_file.h"
#include "history/history_filter.h"
#include "platform/ansi_text.h"
#include "platform/number_text.h"
#include "platform/port_numbering.h"
#include "platform/port_provider.h"
#include "sim/terminal_engine.h"
#include "test_support.h"
#include "texts/message_numbers.h"
#include "texts/response_text.h"
#include "window/control_state.h"

#include <QFile>
#include <QLockFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr int none16 = 99999;

// What a frame check gives: the code and the data, or why the frame is dropped.
QByteArray outcome(const ParsedAnswer &answer)
{
    if (!answer.accepted())
        return frameDropName(answer.drop);
    return QByteArray::number(answer.code) + ": " + answer.data.toHex(' ');
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

HistoryRecord sampleRecord(int n)
{
    HistoryRecord record;
    record.time = QDateTime(QDate(2026, 12, 5), QTime(9, 0), QTimeZone::utc()).addSecs(n);
    record.program = kProgramCli;
    record.port = QString::number(n % 3 + 1);
    record.device = u"/dev/ttyUSB"_s + record.port;
    record.operation = u"beep"_s;
    record.lines = { u"BeepSound: OK"_s };
    record.result = n % 2 == 0 ? 0 : 31;
    record.ms = n;
    return record;
}

} // namespace

class TestCore : public QObject
{
    Q_OBJECT

private slots:
    // Texts that become bytes: hex text read pair by pair, the check digit and the checksum of a
    // card record, and text in the terminal's character set (read back the same when every
    // character has its byte).
    void textToBytes_data()
    {
        QTest::addColumn<QString>("routine");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        const QString bin = u"HexToBin"_s, check = u"CalcCheckDigit"_s, ansi = u"toAnsi"_s,
                      sum = u"CalcHexChecksum"_s;
        QTest::newRow("every kind of byte") << bin << u"00017F8081FEff"_s << hex("00017F8081FEFF");
        QTest::newRow("odd length ends with its last digit") << bin << u"ABC"_s << hex("AB0C");
        QTest::newRow("pair without a digit reads 0") << bin << u"G1"_s << hex("00");
        QTest::newRow("digits up to the first other character") << bin << u"1G"_s << hex("01");
        QTest::newRow("blank, tab, line feed dropped") << bin << u"A B2\t\n"_s << hex("0AB200");
        QTest::newRow("carriage return, sign: no blanks") << bin << u"\rF-1"_s << hex("0000");
        QTest::newRow("other characters count 0") << check << u"1a2 -3"_s << QByteArray("4");
        QTest::newRow("long text does not overflow")
            << check << QString(3641, u'7') << QByteArray("3");
        QTest::newRow("checksum below 16: two capital digits") << sum << u"0A05"_s << "0F"_ba;
        QTest::newRow("checksum of the pairs HexToBin reads") << sum << u"ABC"_s << "B7"_ba;
        QTest::newRow("Spanish") << ansi << u"\u00bfNi\u00f1o?"_s << QByteArray("\xBFNi\xF1o?");
        QTest::newRow("euro and quotes")
            << ansi << u"\u20ac\u201c\u201d"_s << QByteArray("\x80\x93\x94");
        QTest::newRow("no Windows-1252 byte") << ansi << u"a\u4e2db"_s << QByteArray("a?b");
        QTest::newRow("outside the basic plane") << ansi << u"x\U0001F600y"_s << QByteArray("x?y");
    }

    void textToBytes()
    {
        QFETCH(QString, routine);
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        if (routine == u"HexToBin")
            QCOMPARE(HexToBin(text).toHex(' '), bytes.toHex(' '));
        else if (routine == u"CalcCheckDigit")
            QCOMPARE(CalcCheckDigit(text).toLatin1(), bytes);
        else if (routine == u"CalcHexChecksum")
            QCOMPARE(CalcHexChecksum(text).toLatin1(), bytes);
        else
            QCOMPARE(toAnsi(text), bytes);
        if (routine == u"toAnsi")
            QCOMPARE(toAnsiByTable(text), bytes);
        if (routine == u"toAnsi" && !bytes.contains('?')) {
            QCOMPARE(fromAnsi(bytes), text);
            QCOMPARE(fromAnsiByTable(bytes), text);
        }
    }

    // Where Qt has no Windows-1252 converter (Windows), the table stands in: it must give what
    // Qt's gives, both ways, for every byte and every character up to the last one it holds.
    void ansiTableAgreesWithQt()
    {
        if (!QStringDecoder("windows-1252").isValid())
            QSKIP("this Qt has no Windows-1252 converter to compare with");
        QByteArray everyByte(256, 0);
        for (int b = 0; b < 256; ++b)
            everyByte[b] = char(b);
        QCOMPARE(fromAnsiByTable(everyByte), fromAnsi(everyByte));
        for (char16_t u = 0; u <= 0x2122; ++u)
            QCOMPARE(toAnsiByTable(QString(QChar(u))), toAnsi(QString(QChar(u))));
    }

    void commandFrame_data()
    {
        QTest::addColumn<int>("function");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("no data") << 0x72 << QByteArray() << hex("02 72 81 0700 999999 449D 03");
        QTest::newRow("sector 0") << 0x72 << hex("00") << hex("02 72 81 0800 999999 00 5043 03");
        QTest::newRow("02 escaped, the length counts it once")
            << 0x73 << hex("0241") << hex("02 73 81 0900 999999 8082 41 40CB 03");
        QTest::newRow("80 and 03 escaped")
            << 0x72 << hex("8003") << hex("02 72 81 0900 999999 8080 8083 B163 03");
        QTest::newRow("check field with 02")
            << 0x72 << hex("14") << hex("02 72 81 0800 999999 14 82F6 03");
        QTest::newRow("check field with 03")
            << 0x72 << hex("44") << hex("02 72 81 0800 999999 44 5883 03");
        QTest::newRow("header raw") << 0x02 << QByteArray() << hex("02 02 81 0700 999999 C0FC 03");
        // The check field covers at most 32,766 bytes: the header's 7 and the data as escaped.
        QTest::newRow("too long to check") << 0x73 << QByteArray(32760, 'A') << QByteArray();
        QTest::newRow("too long once escaped") << 0x73 << QByteArray(16380, 2) << QByteArray();
    }

    void commandFrame()
    {
        QFETCH(int, function);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, frame);
        QCOMPARE(buildCommandFrame(quint8(function), GetTermID(), data).toHex(' '),
                 frame.toHex(' '));
    }

    void parseAnswer_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("result"); // code: data, or why the frame is dropped
        QTest::newRow("code 0, no data") << hex("02 1B0008000000 0000 E659 03") << "0: "_ba;
        QTest::newRow("escaped markers in code and data")
            << buildAnswerFrame(2, hex("0203808041")) << "2: 02 03 80 80 41"_ba;
        QTest::newRow("80 41 kept, 80 83 unescaped")
            << hex("02 1B000B000000 00 00 8041 8083 9F35 03") << "0: 80 41 03"_ba;
        QTest::newRow("lone 80 before the check field")
            << hex("02 1B0009000000 00 00 80 ED01 03") << "0: 80"_ba;
        QTest::newRow("length 32763 is the largest") << buildAnswerFrame(0, QByteArray(32755, 'x'))
                                                     << "0: " + QByteArray(32755, 'x').toHex(' ');
        QTest::newRow("10 bytes") << hex("02 1B0008000000 0000 03") << "short"_ba;
        QTest::newRow("no start marker") << hex("00 1B0008000000 0000 E659 03") << "markers"_ba;
        QTest::newRow("bad check field") << hex("02 1B0008000000 0000 E65A 03") << "check field"_ba;
        QTest::newRow("check field over the unescaped bytes")
            << hex("02 1B0009000000 0000 8083 4CEA 03") << "check field"_ba;
        QTest::newRow("second byte not 1B")
            << buildAnswerFrame(0, {}, SimStep::Fault::BadHeader) << "header"_ba;
        QTest::newRow("length one too large")
            << buildAnswerFrame(0, "AB", SimStep::Fault::LongLength) << "length"_ba;
        QTest::newRow("length one too small")
            << framed(hex("1B0009000000 00 00 4142")) << "length"_ba;
        QTest::newRow("length 7 leaves no room for a code")
            << framed(hex("1B0007000000 00")) << "length"_ba;
        QTest::newRow("length 32764") << buildAnswerFrame(0, QByteArray(32756, 'x')) << "length"_ba;
        QTest::newRow("beyond the check field's reach")
            << buildAnswerFrame(0, QByteArray(40000, 'x')) << "too long"_ba;
    }

    void parseAnswer()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, result);
        QCOMPARE(outcome(ParseAnswer(frame)), result);
    }

    void assembler_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QByteArray>("results"); // of each parse, | between them
        const QByteArray ok = hex("02 1B0008000000 0000 E659 03");
        QTest::newRow("garbage, then an answer") << hex("FFFE0003") + ok << "short | 0: "_ba;
        QTest::newRow("two answers back to back")
            << buildAnswerFrame(5, {}) + buildAnswerFrame(0, "K") << "5:  | 0: 4b"_ba;
        QTest::newRow("a start marker restarts") << ok.left(5) + ok << "0: "_ba;
        // A raw 03 inside costs one dropped parse; the whole frame follows at its real end.
        QTest::newRow("raw 03 in the data")
            << framed(hex("1B000A000000 00 00 0341")) << "short | 0: 03 41"_ba;
        QTest::newRow("raw 02 as code: lost") << framed(hex("1B0008000000 00 02")) << "short"_ba;
    }

    void assembler()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QByteArray, results);
        FrameAssembler assembler;
        QByteArrayList got;
        for (char b : stream) {
            if (const auto answer = assembler.feed(b))
                got << outcome(*answer);
        }
        QCOMPARE(got.join(" | "), results);
    }

    void assemblerMemoryStaysBounded()
    {
        FrameAssembler assembler;
        int drops = 0;
        for (int i = 0; i < 100000; ++i) {
            if (auto answer = assembler.feed(i % 1000 == 999 ? Frame::kEnd : 'x'))
                drops += answer->accepted() ? 0 : 1;
        }
        QCOMPARE(drops, 100);
        QVERIFY(assembler.collected().size() <= kMaxCheckedBytes + 5);
    }

    // How a typed text reads, and what it gives as a byte (a card field) and as a 16-bit integer
    // (a port number); NaN, -1 and none16 stand for "does not fit".
    void typedNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("int16");
        const double none = std::nan("");

        QTest::newRow("decimal") << u"145"_s << 145.0 << 145 << 145;
        QTest::newRow("&HFFFF is -1") << u"&HFFFF"_s << -1.0 << -1 << -1;
        QTest::newRow("&H10000 is 32-bit") << u"&H10000"_s << 65536.0 << -1 << none16;
        QTest::newRow("&HFFFFFFFF is -1") << u"&HFFFFFFFF"_s << -1.0 << -1 << -1;
        QTest::newRow("beyond 32 bits") << u"&H100000000"_s << none << -1 << none16;
        QTest::newRow("&H stops at a non-digit") << u"&hFG5"_s << 15.0 << 15 << 15;
        QTest::newRow("octal") << u"&O17"_s << 15.0 << 15 << 15;
        QTest::newRow("blanks, tabs and line feeds anywhere")
            << u" & H 1\t0\n0"_s << 256.0 << -1 << 256;
        QTest::newRow("255 fits a byte") << u"255"_s << 255.0 << 255 << 255;
        QTest::newRow("2.5 to even") << u"2.5"_s << 2.5 << 2 << 2;
        QTest::newRow("3.5 to even") << u"3.5"_s << 3.5 << 4 << 4;
        QTest::newRow("255.5 to 256") << u"255.5"_s << 255.5 << -1 << 256;
        QTest::newRow("D exponent") << u"2D1"_s << 20.0 << 20 << 20;
        QTest::newRow("too small is 0") << u"1e-999"_s << 0.0 << 0 << 0;
        QTest::newRow("too large") << u"1e999"_s << none << -1 << none16;
        QTest::newRow("too small without an exponent")
            << u"0."_s + QString(400, u'0') + u"1"_s << 0.0 << 0 << 0;
        QTest::newRow("letters after digits") << u"3abc"_s << 3.0 << 3 << 3;
        QTest::newRow("no number") << u"abc"_s << 0.0 << 0 << 0;
    }

    void typedNumbers()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QFETCH(int, byte);
        QFETCH(int, int16);
        const std::optional<double> read = readNumber(text);
        QCOMPARE(read.has_value(), !std::isnan(value));
        if (read)
            QCOMPARE(*read, value);
        const std::optional<quint8> asByte = roundToByte(read);
        QCOMPARE(asByte ? int(*asByte) : -1, byte);
        const std::optional<qint16> asInt16 = roundToInt16(read);
        QCOMPARE(asInt16 ? int(*asInt16) : none16, int16);
    }

    void portOrder_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("numbered");
        QTest::newRow("USB adapters first, natural order")
            << QStringList { u"ttyS10"_s, u"ttyACM0"_s, u"ttyS9"_s, u"ttyUSB10"_s, u"ttyUSB2"_s }
            << QStringList { u"ttyACM0"_s, u"ttyUSB2"_s, u"ttyUSB10"_s, u"ttyS9"_s, u"ttyS10"_s };
        QTest::newRow("macOS") << QStringList {
            u"cu.Bluetooth"_s, u"cu.usbserial-10"_s, u"cu.usbserial-2"_s
        } << QStringList { u"cu.usbserial-2"_s, u"cu.usbserial-10"_s, u"cu.Bluetooth"_s };
    }

    void portOrder()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, numbered);
        QCOMPARE(numberedPortNames(names), numbered);
    }

    // What a port text names, said again as the window and the command line say it; "-" for
    // nothing.
    void portTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("named");
        QTest::newRow("number") << u" &H10 "_s << u"16"_s;
        QTest::newRow("device path") << u" /dev/ttyUSB0 "_s << u"/dev/ttyUSB0"_s;
        QTest::newRow("scheme in capitals") << u"TCP://10.0.0.7:4001"_s << u"tcp://10.0.0.7:4001"_s;
        QTest::newRow("IPv6 host without brackets")
            << u"rfc2217://fe80::1:2217"_s << u"rfc2217://[fe80::1]:2217"_s;
        QTest::newRow("port 0") << u"tcp://host:0"_s << u"-"_s;
        QTest::newRow("port beyond 16 bits") << u"tcp://host:65536"_s << u"-"_s;
        QTest::newRow("no host") << u"tcp://[]:4001"_s << u"-"_s;
        QTest::newRow("bracket inside a host") << u"tcp://a]:b:5"_s << u"-"_s;
        QTest::newRow("nothing after the bracket") << u"tcp://[::1]4001"_s << u"-"_s;
        QTest::newRow("Windows name") << u"COM3"_s << u"3"_s;
        QTest::newRow("Windows name, any case") << u" com12"_s << u"12"_s;
        QTest::newRow("COM0") << u"COM0"_s << u"-"_s;
        QTest::newRow("COM and no number") << u"COMx"_s << u"-"_s;
        QTest::newRow("COM beyond 16 bits") << u"COM40000"_s << u"-"_s;
    }

    void portTexts()
    {
        QFETCH(QString, text);
        QFETCH(QString, named);
        const std::optional<PortRequest> request = parsePortText(text);
        QCOMPARE(request ? request->text() : u"-"_s, named);
    }

    void responseTexts_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text"); // in a language whose message n reads "mN"
        const QList<std::pair<int, const char *>> rows {
            { 0, "m155" },        { 6, "m161" },   { 7, "m169 (7)" }, { 29, "m169 (29)" },
            { 30, "m162" },       { 31, "m163" },  { 'B', "m164" },   { 'L', "m165" },
            { 'T', "m166" },      { 'E', "m167" }, { 'K', "m168" },   { 'b', "m169 (98)" },
            { 255, "m169 (255)" }
        };
        for (const auto &[code, text] : rows)
            QTest::addRow("%d", code) << code << QString::fromLatin1(text);
    }

    void responseTexts()
    {
        QFETCH(int, code);
        QFETCH(QString, text);
        QTemporaryDir dir;
        QByteArray lines;
        for (int n = 1; n <= 170; ++n)
            lines += "m" + QByteArray::number(n) + "\r\n";
        writeFile(dir.filePath(LanguageTable::fileName(3)), lines);
        LanguageTable table;
        table.LoadMisFile(dir.path());
        QCOMPARE(GetMisResp(quint8(code), table), text);
    }

    void controlStates_data()
    {
        QTest::addColumn<int>("portOpen");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("keyCardRead");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QByteArray>("expected"); // open, close + query, cards, data block
        const QString uid = u"0- UID de tarjeta"_s, block = u"2- Bloque de datos"_s;
        QTest::newRow("starting") << 0 << false << false << uid << "0000"_ba;
        QTest::newRow("port closed") << 0 << true << true << uid << "1000"_ba;
        QTest::newRow("open, no key card") << 7 << true << false << uid << "0100"_ba;
        QTest::newRow("open, key card read") << 1 << true << true << uid << "0110"_ba;
        QTest::newRow("busy, data-block mode") << 1 << false << true << block << "0001"_ba;
        QTest::newRow("mode 2 must come first")
            << 0 << true << false << u" 2- Bloque"_s << "1000"_ba;
    }

    void controlStates()
    {
        QFETCH(int, portOpen);
        QFETCH(bool, enabled);
        QFETCH(bool, keyCardRead);
        QFETCH(QString, mode);
        QFETCH(QByteArray, expected);
        const ControlEnables e = controlEnables({ quint8(portOpen), enabled, keyCardRead, mode });
        QCOMPARE(QByteArray() + char('0' + e.openPort) + char('0' + e.portOpenActions)
                     + char('0' + e.cardButtons) + char('0' + e.dataBlock),
                 expected);
    }

    void languagePacking_data()
    {
        QTest::addColumn<QList<int>>("present");
        QTest::addColumn<QStringList>("names"); // the language name in slots 1 to 5
        QTest::addColumn<int>("current");
        QTest::newRow("all five") << QList<int> { 1, 2, 3, 4, 5 }
                                  << QStringList { u"L1"_s, u"L2"_s, u"L3"_s, u"L4"_s, u"L5"_s }
                                  << 1;
        QTest::newRow("files 2, 4 and 5")
            << QList<int> { 2, 4, 5 } << QStringList { {}, {}, u"L2"_s, u"L4"_s, u"L5"_s } << 3;
        QTest::newRow("none") << QList<int> {} << QStringList { {}, {}, {}, {}, {} } << 0;
    }

    void languagePacking()
    {
        QFETCH(QList<int>, present);
        QFETCH(QStringList, names);
        QFETCH(int, current);
        QTemporaryDir dir;
        for (int n : present) {
            writeFile(dir.filePath(LanguageTable::fileName(n)),
                      "L" + QByteArray::number(n) + "\r\nt");
        }
        // A sixth file is not a language file, nor one in other letter cases where file names
        // have them (on Windows misi01.dat is MisI01.dat).
        writeFile(dir.filePath(u"MisI06.dat"_s), "six\r\n");
#ifndef Q_OS_WIN
        writeFile(dir.filePath(u"misi01.dat"_s), "lower\r\n");
#endif
        LanguageTable table;
        table.LoadMisFile(dir.path());
        QCOMPARE(int(table.iIdioma), current);
        for (int slot = 1; slot <= 5; ++slot)
            QCOMPARE(table.message(slot, 1), names[slot - 1]);
        QCOMPARE(table.GetMis(2), current ? u"t"_s : QString());
    }

    void languageLines_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("message");
        const QByteArray continued("one~\r\ntwo\r\nthree\r\n");
        QTest::newRow("a final ~ joins the next line") << continued << 1 << u"one\r\ntwo"_s;
        QTest::newRow("the joined line takes no number") << continued << 2 << u"three"_s;
        QTest::newRow("~ inside a line breaks it")
            << QByteArray("a~b\r\nc\r\n") << 1 << u"a\r\nb"_s;
        QTest::newRow("chained") << QByteArray("a~\r\nb~\r\nc\r\nd\r\n") << 1 << u"a\r\nb\r\nc"_s;
        // Joined with an empty line, a line still ends with "~": the join goes on.
        const QByteArray emptyJoined("a~\r\n\r\nb\r\nc\r\n");
        QTest::newRow("an empty line keeps the join going") << emptyJoined << 1 << u"a\r\nb"_s;
        QTest::newRow("and shifts no number") << emptyJoined << 2 << u"c"_s;
        QTest::newRow("last line ends with ~") << QByteArray("x\r\nend~") << 2 << u"end\r\n"_s;
        QTest::newRow("line feeds, empty lines") << QByteArray("a\n\nc") << 3 << u"c"_s;
        const QByteArray lines = QByteArray("x\r\n").repeated(998) + "last\r\nignored\r\n";
        QTest::newRow("message 999 is read") << lines << 999 << u"last"_s;
        QTest::newRow("message 1000 is not") << lines << 1000 << QString();
    }

    void languageLines()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, number);
        QFETCH(QString, message);
        QTemporaryDir dir;
        writeFile(dir.filePath(LanguageTable::fileName(2)), file);
        LanguageTable table;
        table.LoadMisFile(dir.path());
        QCOMPARE(table.GetMis(number), message);
    }

    // The files we ship: a text in every language wherever the first has one, the mode digits the
    // data-block rule reads, a sample of at most 20 characters in every message tip.
    void shippedLanguageFiles()
    {
        LanguageTable table;
        table.LoadMisFile(QStringLiteral(PORTEVAL_LANG_DIR));
        QVERIFY(!table.message(1, Mis::LastAdded).isEmpty());
        for (int slot = 1; slot <= 5; ++slot) {
            for (int n = 1; n <= Mis::LastAdded; ++n)
                QCOMPARE(table.message(slot, n).isEmpty(), table.message(1, n).isEmpty());
            // The out-of-range texts all end alike: "card not written".
            for (int n = 171; n <= 177; ++n)
                QCOMPARE(table.message(slot, n).section(u';', -1),
                         table.message(slot, 170).section(u';', -1));
            QVERIFY(table.message(slot, 61).startsWith(u'0')
                    && table.message(slot, 62).startsWith(u'2'));
            for (int n = 130; n <= 137; ++n) {
                const QStringList pieces = table.message(slot, n).split(u'"');
                QVERIFY(pieces.size() >= 3 && pieces[1].size() <= 20);
            }
        }
    }

    // The history as a writer finds it: lines of its own and what others left, a line torn by a
    // writer killed mid-write among them. Each record read is whole and none is lost.
    void historyAppendsAfterWhatIsThere_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<int>("skipped");
        const QByteArray whole = sampleRecord(0).toJsonLine() + '\n';
        QTest::newRow("no file") << QByteArray() << 0;
        QTest::newRow("whole lines") << whole + whole << 0;
        QTest::newRow("torn last line") << whole + whole.left(40) << 1;
        QTest::newRow("foreign lines") << "hello\n{}\n[1,2]\n{\"time\":\"x\"}\n\n" + whole << 4;
        QTest::newRow("binary") << QByteArray("\0\xff\x01\n", 4) << 1;
    }

    void historyAppendsAfterWhatIsThere()
    {
        QFETCH(QByteArray, before);
        QFETCH(int, skipped);
        QTemporaryDir dir;
        const HistoryFile history(dir.filePath(u"sub/history.jsonl"_s));
        if (!before.isEmpty()) {
            QVERIFY(QDir().mkpath(dir.filePath(u"sub"_s)));
            writeFile(history.path(), before);
        }
        const int already = int(HistoryFile(history.path()).read().records.size());
        QString error;
        QCOMPARE(history.append({ sampleRecord(1), sampleRecord(2) }, {}, &error),
                 HistoryFile::Appended::Yes);
        const HistoryFile::Contents read = history.read();
        QCOMPARE(read.skippedLines, skipped);
        QCOMPARE(read.notes.size(), skipped);
        QCOMPARE(read.records.size(), already + 2);
        QCOMPARE(read.records.last().toJsonLine(), sampleRecord(2).toJsonLine());
    }

    // A lock held by a live program makes a writer wait (one try: busy). Past the size limit the
    // file rolls over to one older file.
    void historyLockAndRollover()
    {
        QTemporaryDir dir;
        const HistoryFile history(dir.filePath(u"history.jsonl"_s), 1500);
        QString error;
        {
            QLockFile held(history.path() + u".lock"_s);
            QVERIFY(held.tryLock());
            QCOMPARE(history.append({ sampleRecord(0) }, {}, &error), HistoryFile::Appended::Busy);
        }
        for (int n = 0; n < 20; ++n)
            QCOMPARE(history.append({ sampleRecord(n) }, {}, &error), HistoryFile::Appended::Yes);
        QVERIFY(QFile::exists(history.olderPath()));
        QVERIFY(QFileInfo(history.path()).size() <= 1500);
        const QList<HistoryRecord> records = history.read().records;
        QVERIFY(records.size() > 1 && records.size() < 20);
        for (qsizetype i = 0; i < records.size(); ++i)
            QCOMPARE(records[i].ms, 20 - records.size() + i); // the newest, in order, none twice
    }

    void historyFilter_data()
    {
        QTest::addColumn<QString>("since");
        QTest::addColumn<QStringList>("ports");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("matching");
        const QList<int> all { 0, 1, 2, 3 };
        QTest::newRow("nothing asked") << QString() << QStringList() << 0 << QString() << all;
        QTest::newRow("since a time")
            << u"2026-12-05T09:00:02Z"_s << QStringList() << 0 << QString() << QList<int> { 2, 3 };
        QTest::newRow("failed") << QString() << QStringList() << 2 << QString()
                                << QList<int> { 1, 3 };
        QTest::newRow("succeeded")
            << QString() << QStringList() << 1 << QString() << QList<int> { 0, 2 };
        QTest::newRow("port as typed or as opened")
            << QString() << QStringList { u"1"_s, u"/dev/ttyUSB3"_s } << 0 << QString()
            << QList<int> { 0, 2, 3 };
        QTest::newRow("text in a status line, any case")
            << QString() << QStringList() << 0 << u"beepsound"_s << all;
        QTest::newRow("text in a card field")
            << QString() << QStringList() << 0 << u"&h91"_s << QList<int> { 2 };
        QTest::newRow("text found nowhere")
            << QString() << QStringList() << 0 << u"SetCfg"_s << QList<int>();
    }

    void historyFilter()
    {
        QFETCH(QString, since);
        QFETCH(QStringList, ports);
        QFETCH(int, outcome);
        QFETCH(QString, text);
        QFETCH(QList<int>, matching);
        HistoryFilter filter { QDateTime::fromString(since, Qt::ISODate), ports,
                               HistoryFilter::Outcome(outcome), text };
        QList<int> matched;
        for (int n = 0; n < 4; ++n) {
            HistoryRecord record = sampleRecord(n);
            if (n == 2) {
                ConfigFieldTexts fields;
                fields.uart1 = u"&H91"_s;
                record.card = configCardFields(fields);
            }
            if (filter.matches(record))
                matched << n;
        }
        QCOMPARE(matched, matching);
    }

    void historySince_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("since");
        QTest::newRow("today") << u"today"_s << QDateTime(QDate(2026, 12, 6), QTime(0, 0));
        QTest::newRow("yesterday") << u"Yesterday"_s << QDateTime(QDate(2026, 12, 5), QTime(0, 0));
        QTest::newRow("a date") << u"2026-11-30"_s << QDateTime(QDate(2026, 11, 30), QTime(0, 0));
        QTest::newRow("date and time")
            << u"2026-11-30 14:30"_s << QDateTime(QDate(2026, 11, 30), QTime(14, 30));
        QTest::newRow("in UTC") << u"2026-11-30T14:30Z"_s
                                << QDateTime(QDate(2026, 11, 30), QTime(14, 30), QTimeZone::utc());
        QTest::newRow("not a date") << u"last week"_s << QDateTime();
    }

    void historySince()
    {
        QFETCH(QString, text);
        QFETCH(QDateTime, since);
        const QDateTime now(QDate(2026, 12, 6), QTime(15, 30));
        QCOMPARE(parseSince(text, now).value_or(QDateTime()), since);
    }
};

QTEST_APPLESS_MAIN(TestCore)
#include "tst_core.moc"
