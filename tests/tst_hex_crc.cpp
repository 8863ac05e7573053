#include "link/calc_crc16.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestHexCrc : public QObject
{
    Q_OBJECT

private slots:
    void numberToHex_data();
    void numberToHex();
    void longToChr_data();
    void longToChr();
    void hexToBin_data();
    void hexToBin();
    void crcField_data();
    void crcField();
    void crcTableMatchesBitwiseRule();
    void longInputsDoNotCrash();
};

void TestHexCrc::numberToHex_data()
{
    QTest::addColumn<QString>("routine");
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("byte 0") << u"HexByte"_s << qint64(0) << u"00"_s;
    QTest::newRow("byte 10") << u"HexByte"_s << qint64(10) << u"0A"_s;
    QTest::newRow("byte 255") << u"HexByte"_s << qint64(255) << u"FF"_s;
    QTest::newRow("nibble 0x1A drops high digit") << u"HexNibble"_s << qint64(0x1A) << u"A"_s;
    QTest::newRow("nibble 5") << u"HexNibble"_s << qint64(5) << u"5"_s;
    QTest::newRow("nibble 0xF0") << u"HexNibble"_s << qint64(0xF0) << u"0"_s;
    QTest::newRow("long12 0") << u"HexLong12"_s << qint64(0) << u"000000000000"_s;
    QTest::newRow("long12 -1") << u"HexLong12"_s << qint64(-1) << u"0000FFFFFFFF"_s;
    QTest::newRow("long12 max") << u"HexLong12"_s << qint64(0x7FFFFFFF) << u"00007FFFFFFF"_s;
    QTest::newRow("long12 min") << u"HexLong12"_s << qint64(-0x7FFFFFFF - 1) << u"000080000000"_s;
    QTest::newRow("long8 0x1234") << u"HexLong8"_s << qint64(0x1234) << u"00001234"_s;
    QTest::newRow("long8 -2") << u"HexLong8"_s << qint64(-2) << u"FFFFFFFE"_s;
    QTest::newRow("long8 0xABCDEF") << u"HexLong8"_s << qint64(0xABCDEF) << u"00ABCDEF"_s;
}

void TestHexCrc::numberToHex()
{
    QFETCH(QString, routine);
    QFETCH(qint64, value);
    QFETCH(QString, expected);

    QString actual;
    if (routine == u"HexByte")
        actual = HexByte(quint8(value));
    else if (routine == u"HexNibble")
        actual = HexNibble(quint8(value));
    else if (routine == u"HexLong12")
        actual = HexLong12(qint32(value));
    else
        actual = HexLong8(qint32(value));
    QCOMPARE(actual, expected);
}

void TestHexCrc::longToChr_data()
{
    QTest::addColumn<qint32>("value");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("0x1234") << qint32(0x1234) << QByteArray("\x34", 1);
    QTest::newRow("-1") << qint32(-1) << QByteArray("\xFF", 1);
    QTest::newRow("0") << qint32(0) << QByteArray("\x00", 1);
    QTest::newRow("-256") << qint32(-256) << QByteArray("\x00", 1);
    QTest::newRow("0x80") << qint32(0x80) << QByteArray("\x80", 1);
}

void TestHexCrc::longToChr()
{
    QFETCH(qint32, value);
    QFETCH(QByteArray, expected);
    QCOMPARE(LongToChr(value), expected);
}

void TestHexCrc::hexToBin_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("terminal id") << u"999999"_s << QByteArray("\x99\x99\x99");
    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("lower case") << u"ab"_s << QByteArray("\xAB");
    QTest::newRow("odd length ends with its last digit") << u"ABC"_s << QByteArray("\xAB\x0C");
    QTest::newRow("no digit reads 0") << u"G1"_s << QByteArray("\x00", 1);
    QTest::newRow("digits up to first non-hex") << u"1G"_s << QByteArray("\x01");
    QTest::newRow("blank inside a pair dropped") << u" 1"_s << QByteArray("\x01");
    QTest::newRow("tab and line feed dropped") << u"\t\n"_s << QByteArray("\x00", 1);
    QTest::newRow("pair split by blank") << u"A B2"_s << QByteArray("\x0A\xB2");
    QTest::newRow("carriage return is not a blank") << u"\rF"_s << QByteArray("\x00", 1);
    QTest::newRow("sign is not a digit") << u"-1"_s << QByteArray("\x00", 1);
    QTest::newRow("all values") << u"00017F8081FEFF"_s
                                << QByteArray("\x00\x01\x7F\x80\x81\xFE\xFF", 7);
    QTest::newRow("non-Latin characters") << u"\u00e9F"_s << QByteArray("\x00", 1);
}

void TestHexCrc::hexToBin()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, expected);
    QCOMPARE(HexToBin(text), expected);
}

void TestHexCrc::crcField_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("field");

    QTest::newRow("empty") << QByteArray() << QByteArray("\x00\x00", 2);
    QTest::newRow("check value 123456789") << QByteArray("123456789") << QByteArray("\x31\xC3");
    QTest::newRow("high byte 0x02 becomes 0x82")
        << QByteArray("\x72\x81\x08\x00\x99\x99\x99\x14", 8) << QByteArray("\x82\xF6");
    QTest::newRow("low byte 0x03 becomes 0x83")
        << QByteArray("\x72\x81\x08\x00\x99\x99\x99\x44", 8) << QByteArray("\x58\x83");
    QTest::newRow("command without data")
        << QByteArray("\x72\x81\x07\x00\x99\x99\x99", 7) << QByteArray("\x44\x9D");
    QTest::newRow("answer code 0")
        << QByteArray("\x1B\x00\x08\x00\x00\x00\x00\x00", 8) << QByteArray("\xE6\x59");
}

void TestHexCrc::crcField()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, field);
    QCOMPARE(GetCRC16(bytes), field);
}

// The table-driven register must equal the polynomial computed bit by bit, for every single
// byte and for a longer mixed input.
void TestHexCrc::crcTableMatchesBitwiseRule()
{
    auto bitwise = [](const QByteArray &bytes) {
        quint16 reg = 0;
        for (char c : bytes) {
            reg ^= quint16(quint8(c) << 8);
            for (int bit = 0; bit < 8; ++bit)
                reg = (reg & 0x8000) ? quint16((reg << 1) ^ 0x1021) : quint16(reg << 1);
        }
        return reg;
    };
    QByteArray all;
    for (int b = 0; b < 256; ++b) {
        const QByteArray one(1, char(b));
        QCOMPARE(crc16Register(one), bitwise(one));
        all.append(char(b));
    }
    QCOMPARE(crc16Register(all + all), bitwise(all + all));
}

void TestHexCrc::longInputsDoNotCrash()
{
    const QByteArray big(kMaxCheckedBytes + 1000, '\x5A');
    QCOMPARE(GetCRC16(big).size(), 2);
    const QString text(kMaxCheckedBytes + 3, u'F');
    QCOMPARE(HexToBin(text).size(), (kMaxCheckedBytes + 4) / 2);
}

QTEST_APPLESS_MAIN(TestHexCrc)
#include "tst_hex_crc.moc"
