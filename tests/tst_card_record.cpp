#include "commands/card_record.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {
QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text));
}
} // namespace

class TestCardRecord : public QObject
{
    Q_OBJECT

private slots:
    void checkDigit_data();
    void checkDigit();
    void hexChecksum_data();
    void hexChecksum();
    void binarySum_data();
    void binarySum();
    void record_data();
    void record();
    void piecesAreIndependent();
};

void TestCardRecord::checkDigit_data()
{
    QTest::addColumn<QString>("digits");
    QTest::addColumn<QString>("check");
    QTest::newRow("12345") << u"12345"_s << u"5"_s;
    QTest::newRow("master card 690000020") << u"690000020"_s << u"3"_s;
    QTest::newRow("messages card 530000002") << u"530000002"_s << u"0"_s;
    QTest::newRow("config card 540000020") << u"540000020"_s << u"9"_s;
    QTest::newRow("empty") << QString() << u"0"_s;
    QTest::newRow("sum multiple of ten") << u"55"_s << u"0"_s;
    QTest::newRow("non-digits count 0") << u"1a2 -3"_s << u"4"_s;
    QTest::newRow("long text does not overflow") << QString(5000, u'9') << u"0"_s;
    QTest::newRow("long text of sevens") << QString(3641, u'7') << u"3"_s;
}

void TestCardRecord::checkDigit()
{
    QFETCH(QString, digits);
    QFETCH(QString, check);
    QCOMPARE(CalcCheckDigit(digits), check);
}

void TestCardRecord::hexChecksum_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("sum");
    QTest::newRow("0102FF wraps to 02, leading zero kept") << u"0102FF"_s << u"02"_s;
    QTest::newRow("empty") << QString() << u"00"_s;
    QTest::newRow("lower case") << u"ab01"_s << u"AC"_s;
    QTest::newRow("second character not hex counts first digit") << u"1Z02"_s << u"03"_s;
    QTest::newRow("pair not starting with a digit counts 0") << u"Z1FF"_s << u"FF"_s;
    QTest::newRow("final single character") << u"10A"_s << u"1A"_s;
    QTest::newRow("blanks dropped") << u" 1 2"_s << u"03"_s;
    QTest::newRow("master card hex part, empty key") << u"0000000000000000"
                                                        "0002"_s
                                                     << u"02"_s;
}

void TestCardRecord::hexChecksum()
{
    QFETCH(QString, text);
    QFETCH(QString, sum);
    QCOMPARE(CalcHexChecksum(text), sum);
}

void TestCardRecord::binarySum_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("sum");
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("abc") << QByteArray("abc") << 0x26;
    QTest::newRow("32 zeros characters") << QByteArray(32, '0') << 0;
    QTest::newRow("256 bytes 01") << QByteArray(256, '\x01') << 0;
    QTest::newRow("high bytes") << hex("FF80") << 0x7F;
}

void TestCardRecord::binarySum()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, sum);
    QCOMPARE(CalcCRCBin(bytes), QByteArray(1, char(sum)));
}

void TestCardRecord::record_data()
{
    QTest::addColumn<QString>("dec");
    QTest::addColumn<QString>("hexText");
    QTest::addColumn<QByteArray>("bin");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("worked example")
        << u"12345"_s << u"0102FF"_s << QByteArray("abc") << hex("1234550102FF0261626326");
    QTest::newRow("empty pieces") << QString() << QString() << QByteArray() << hex("000000");
    QTest::newRow("even number of digits: check digit alone")
        << u"123456"_s << QString() << QByteArray() << hex("12345609 00 00");
    QTest::newRow("odd number of digits: check digit in low half")
        << u"1234567"_s << QString() << QByteArray() << hex("12345672 00 00");
    QTest::newRow("master card, empty key")
        << u"690000020"_s
        << u"0000000000000000"
           "0002"_s
        << QByteArray(32, '0')
        << hex("6900000203 0000 000000000000 00 02 02") + QByteArray(32, '0') + hex("00");
    QTest::newRow("master card with key")
        << u"690000020"_s
        << u"0000A1B2C3D4E5F6"
           "0002"_s
        << QByteArray(32, '0')
        << hex("6900000203 0000 A1B2C3D4E5F6 00 02 C7") + QByteArray(32, '0') + hex("00");
}

void TestCardRecord::record()
{
    QFETCH(QString, dec);
    QFETCH(QString, hexText);
    QFETCH(QByteArray, bin);
    QFETCH(QByteArray, expected);
    QCOMPARE(BuildCardRecord(dec, hexText, bin).toHex(' '), expected.toHex(' '));
}

void TestCardRecord::piecesAreIndependent()
{
    const QByteArray a = BuildCardRecord(u"53"_s, u"01FF"_s, QByteArray("abc"));
    const QByteArray b = BuildCardRecord(u"53"_s, u"01FF"_s, QByteArray("abd"));
    QCOMPARE(a.left(5), b.left(5));
    QCOMPARE(a.mid(5).toHex(' '), hex("616263 26").toHex(' '));
    QCOMPARE(b.mid(5).toHex(' '), hex("616264 27").toHex(' '));
    QCOMPARE(GetIssuerID(), u"001001"_s);
}

QTEST_APPLESS_MAIN(TestCardRecord)
#include "tst_card_record.moc"
