// Reading typed numbers, naming serial ports by number, and the single-byte text conversion.
#include "platform/ansi_text.h"
#include "platform/number_text.h"
#include "platform/port_numbering.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestNumberText : public QObject
{
    Q_OBJECT

private slots:
    void readNumber_data();
    void readNumber();
    void rounding_data();
    void rounding();
    void portOrder_data();
    void portOrder();
    void ansi_data();
    void ansi();
};

void TestNumberText::readNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("fits");

    QTest::newRow("decimal") << u"145"_s << 145.0 << true;
    QTest::newRow("hex") << u"&H91"_s << 145.0 << true;
    QTest::newRow("hex 16-bit wraps") << u"&HFFFF"_s << -1.0 << true;
    QTest::newRow("hex 10000 is 32-bit") << u"&H10000"_s << 65536.0 << true;
    QTest::newRow("hex 32-bit wraps") << u"&HFFFFFFFF"_s << -1.0 << true;
    QTest::newRow("hex beyond 32 bits") << u"&H100000000"_s << 0.0 << false;
    QTest::newRow("hex stops at non-digit") << u"&H1G5"_s << 1.0 << true;
    QTest::newRow("octal") << u"&O17"_s << 15.0 << true;
    QTest::newRow("octal stops at 8") << u"&O78"_s << 7.0 << true;
    QTest::newRow("blanks anywhere") << u" 1 2\t3\n4"_s << 1234.0 << true;
    QTest::newRow("blank inside &H") << u"& H 2 0"_s << 32.0 << true;
    QTest::newRow("sign") << u"-12"_s << -12.0 << true;
    QTest::newRow("point") << u"2.5"_s << 2.5 << true;
    QTest::newRow("exponent") << u"1.5e2"_s << 150.0 << true;
    QTest::newRow("D exponent") << u"2D1"_s << 20.0 << true;
    QTest::newRow("letters after digits") << u"3abc"_s << 3.0 << true;
    QTest::newRow("no number") << u"abc"_s << 0.0 << true;
    QTest::newRow("empty") << QString() << 0.0 << true;
    QTest::newRow("second point stops") << u"1.2.3"_s << 1.2 << true;
    QTest::newRow("huge exponent") << u"1e999"_s << 0.0 << false;
    QTest::newRow("too small to hold is 0") << u"0."_s + QString(400, u'0') + u"1"_s << 0.0 << true;
    QTest::newRow("too many digits to hold") << u"1"_s + QString(400, u'0') << 0.0 << false;
}

void TestNumberText::readNumber()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QFETCH(bool, fits);
    const std::optional<double> read = ::readNumber(text);
    QCOMPARE(read.has_value(), fits);
    if (fits)
        QCOMPARE(*read, value);
}

void TestNumberText::rounding_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("asByte"); // -1: does not fit
    QTest::addColumn<int>("asInt16"); // -99999: does not fit

    QTest::newRow("2.5 to even") << u"2.5"_s << 2 << 2;
    QTest::newRow("3.5 to even") << u"3.5"_s << 4 << 4;
    QTest::newRow("255.5 to 256") << u"255.5"_s << -1 << 256;
    QTest::newRow("-0.4 to 0") << u"-0.4"_s << 0 << 0;
    QTest::newRow("32767.5 to 32768") << u"32767.5"_s << -1 << -99999;
    QTest::newRow("&H10000") << u"&H10000"_s << -1 << -99999;
    QTest::newRow("overflow") << u"&H123456789"_s << -1 << -99999;
}

void TestNumberText::rounding()
{
    QFETCH(QString, text);
    QFETCH(int, asByte);
    QFETCH(int, asInt16);
    const std::optional<quint8> byte = roundToByte(::readNumber(text));
    const std::optional<qint16> int16 = roundToInt16(::readNumber(text));
    QCOMPARE(byte ? int(*byte) : -1, asByte);
    QCOMPARE(int16 ? int(*int16) : -99999, asInt16);
}

void TestNumberText::portOrder_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("ordered");

    QTest::newRow("USB adapters first")
        << QStringList { u"ttyS0"_s, u"ttyUSB0"_s } << QStringList { u"ttyUSB0"_s, u"ttyS0"_s };
    QTest::newRow("others natural") << QStringList { u"ttyS10"_s, u"ttyS9"_s, u"ttyAMA0"_s }
                                    << QStringList { u"ttyAMA0"_s, u"ttyS9"_s, u"ttyS10"_s };
    QTest::newRow("macOS") << QStringList {
        u"cu.Bluetooth"_s, u"cu.usbserial-2"_s, u"cu.usbserial-10"_s
    } << QStringList { u"cu.usbserial-2"_s, u"cu.usbserial-10"_s, u"cu.Bluetooth"_s };
    QTest::newRow("none") << QStringList {} << QStringList {};
}

void TestNumberText::portOrder()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, ordered);
    QCOMPARE(numberedPortNames(names), ordered);
}

void TestNumberText::ansi_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ASCII") << u"abc ~"_s << QByteArray("abc ~");
    QTest::newRow("Spanish") << u"\u00bfNi\u00f1o?"_s << QByteArray("\xBFNi\xF1o?");
    QTest::newRow("euro and quotes") << u"\u20ac\u201c\u201d"_s << QByteArray("\x80\x93\x94");
    QTest::newRow("no Windows-1252 byte") << u"a\u4e2db"_s << QByteArray("a?b");
    QTest::newRow("outside the basic plane") << u"x\U0001F600y"_s << QByteArray("x?y");
}

void TestNumberText::ansi()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(toAnsi(text), bytes);
    if (!bytes.contains('?'))
        QCOMPARE(fromAnsi(bytes), text);
}

QTEST_APPLESS_MAIN(TestNumberText)
#include "tst_number_text.moc"
