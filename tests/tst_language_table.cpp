// Reading the language files: packing into names, continuation lines, odd and hostile files.
#include "window/language_table.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A small language file whose message 1 names it and message 2 is a title.
QByteArray miniLanguage(const QByteArray &name)
{
    return name + "\r\ntitle " + name + "\r\n\r\n\r\nlabel 5 " + name + "\r\n";
}

} // namespace

class TestLanguageTable : public QObject
{
    Q_OBJECT

private slots:
    void packing_data();
    void packing();
    void lines_data();
    void lines();
    void hostileFiles_data();
    void hostileFiles();
    void shippedFiles();
};

void TestLanguageTable::packing_data()
{
    QTest::addColumn<QList<int>>("present");
    QTest::addColumn<QStringList>("names"); // names in names 1 to 5
    QTest::addColumn<int>("current");

    QTest::newRow("all five") << QList<int> { 1, 2, 3, 4, 5 }
                              << QStringList { u"L1"_s, u"L2"_s, u"L3"_s, u"L4"_s, u"L5"_s } << 1;
    QTest::newRow("only file 3") << QList<int> { 3 } << QStringList { {}, {}, {}, {}, u"L3"_s }
                                 << 5;
    QTest::newRow("files 1 and 2")
        << QList<int> { 1, 2 } << QStringList { {}, {}, {}, u"L1"_s, u"L2"_s } << 4;
    QTest::newRow("files 2, 4 and 5")
        << QList<int> { 2, 4, 5 } << QStringList { {}, {}, u"L2"_s, u"L4"_s, u"L5"_s } << 3;
    QTest::newRow("none") << QList<int> {} << QStringList { {}, {}, {}, {}, {} } << 0;
}

void TestLanguageTable::packing()
{
    QFETCH(QList<int>, present);
    QFETCH(QStringList, names);
    QFETCH(int, current);

    QTemporaryDir dir;
    for (int n : present)
        writeFile(dir.filePath(LanguageTable::fileName(n)),
                  miniLanguage("L" + QByteArray::number(n)));
    // Same names in other letter cases, and a sixth file, are not language files.
    writeFile(dir.filePath(u"misi01.dat"_s), miniLanguage("lower"));
    writeFile(dir.filePath(u"MISI02.DAT"_s), miniLanguage("upper"));
    writeFile(dir.filePath(u"MisI06.dat"_s), miniLanguage("six"));

    LanguageTable table;
    table.LoadMisFile(dir.path());
    QCOMPARE(int(table.iIdioma), current);
    for (int slot = 1; slot <= 5; ++slot)
        QCOMPARE(table.message(slot, 1), names[slot - 1]);
    QCOMPARE(table.message(0, 1), QString());
    QCOMPARE(table.GetMis(2), current ? u"title "_s + names[current - 1] : QString());
    QCOMPARE(table.GetMis(5), current ? u"label 5 "_s + names[current - 1] : QString());
    QCOMPARE(table.GetMis(6), QString()); // beyond a short file
    QCOMPARE(table.GetMis(-1), QString());
    QCOMPARE(table.GetMis(1001), QString());
}

void TestLanguageTable::lines_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("message");

    QTest::newRow("continuation joins and breaks")
        << QByteArray("one~\r\ntwo\r\nthree\r\n") << 1 << u"one\r\ntwo"_s;
    QTest::newRow("line after a continuation is the next number")
        << QByteArray("one~\r\ntwo\r\nthree\r\n") << 2 << u"three"_s;
    QTest::newRow("tilde inside a line breaks it, joins nothing")
        << QByteArray("a~b\r\nc\r\n") << 1 << u"a\r\nb"_s;
    QTest::newRow("chained continuations")
        << QByteArray("a~\r\nb~\r\nc\r\nd\r\n") << 1 << u"a\r\nb\r\nc"_s;
    QTest::newRow("last line ends with tilde") << QByteArray("x\r\nend~") << 2 << u"end\r\n"_s;
    QTest::newRow("empty lines count") << QByteArray("a\r\n\r\nc\r\n") << 3 << u"c"_s;
    QTest::newRow("line feeds alone") << QByteArray("a\nb\nc") << 3 << u"c"_s;
    QTest::newRow("Windows-1252 letters")
        << QByteArray("Espa\xF1ol \xBF\x80\r\n") << 1 << u"Espa\u00f1ol \u00bf\u20ac"_s;
    QTest::newRow("message 999 is read")
        << QByteArray("x\r\n").repeated(998) + "last\r\nignored\r\n"
        << 999 << u"last"_s;
    QTest::newRow("message 1000 is not") << QByteArray("x\r\n").repeated(999) + "ignored\r\n"
                                         << 1000 << QString();
}

void TestLanguageTable::lines()
{
    QFETCH(QByteArray, file);
    QFETCH(int, number);
    QFETCH(QString, message);

    QTemporaryDir dir;
    writeFile(dir.filePath(LanguageTable::fileName(2)), file);
    LanguageTable table;
    table.LoadMisFile(dir.path());
    QCOMPARE(int(table.iIdioma), 5);
    QCOMPARE(table.GetMis(number), message);
}

// Whatever is in a language file, loading ends quickly and keeps what could be read.
void TestLanguageTable::hostileFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("first"); // message 1 afterwards, or "*" for "anything"

    QByteArray garbage(1 << 20, '\0');
    for (int i = 0; i < garbage.size(); ++i)
        garbage[i] = char((i * 7919) ^ (i >> 3));
    QTest::newRow("binary garbage") << garbage << u"*"_s;
    QTest::newRow("16 MB of continued lines")
        << QByteArray("name\r\n") + QByteArray("0123456789~\r\n").repeated((16 << 20) / 13)
        << u"name"_s;
    QTest::newRow("one line of a million characters") << QByteArray(1000000, 'a')
            + "\r\nsecond\r\n" << QString(LanguageTable::kMaxMessageLength, u'a');
    QByteArray controls;
    for (int b = 0x80; b <= 0x9F; ++b)
        controls.append(char(b));
    QTest::newRow("bytes 0x80-0x9F") << controls.repeated(1000) + "\r\n" << u"*"_s;
    QTest::newRow("empty file") << QByteArray() << QString();
}

void TestLanguageTable::hostileFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, first);

    QTemporaryDir dir;
    writeFile(dir.filePath(LanguageTable::fileName(1)), file);
    writeFile(dir.filePath(LanguageTable::fileName(2)), miniLanguage("L2"));
    LanguageTable table;
    QElapsedTimer clock;
    clock.start();
    table.LoadMisFile(dir.path());
    // About 0.1 s here; the bound only tells a slow pass from a hang on a loaded machine.
    QVERIFY2(clock.elapsed() < 30000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(int(table.iIdioma), 4);
    QCOMPARE(table.message(5, 1), u"L2"_s);
    if (first != u"*")
        QCOMPARE(table.GetMis(1), first);
    for (int n = 0; n <= LanguageTable::kLastMessage; ++n)
        QVERIFY(table.GetMis(n).size() <= 2 * LanguageTable::kMaxMessageLength);
}

// The files we ship: 177 messages, the mode entries' digits, a sample in every message tip.
void TestLanguageTable::shippedFiles()
{
    LanguageTable table;
    table.LoadMisFile(QStringLiteral(PORTEVAL_LANG_DIR));
    QCOMPARE(int(table.iIdioma), 1);
    for (int slot = 1; slot <= 5; ++slot) {
        table.iIdioma = qint16(slot);
        QVERIFY(!table.GetMis(1).isEmpty());
        QVERIFY(table.GetMis(61).startsWith(u'0'));
        QVERIFY(table.GetMis(62).startsWith(u'2'));
        for (int n :
             { 2, 5, 32, 40, 57, 60, 65, 68, 75, 83, 90, 98, 105, 121, 129, 152, 155, 169, 177 })
            QVERIFY2(!table.GetMis(n).isEmpty(),
                     qPrintable(u"slot %1 message %2"_s.arg(slot).arg(n)));
        for (int n = 130; n <= 137; ++n) {
            const QString tip = table.GetMis(n);
            const qsizetype open = tip.indexOf(u'"');
            const qsizetype close = tip.indexOf(u'"', open + 1);
            QVERIFY(open >= 0 && close > open);
            QVERIFY(close - open - 1 <= 20);
        }
    }
    table.iIdioma = 1;
    QCOMPARE(table.GetMis(2), u"Porteval - Programa demo"_s);
    QCOMPARE(table.GetMis(29), u"Modo de operaci\u00f3n:"_s);
    QCOMPARE(table.GetMis(61), u"0- UID de tarjeta"_s);
}

QTEST_GUILESS_MAIN(TestLanguageTable)
#include "tst_language_table.moc"
