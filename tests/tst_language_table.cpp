// Reading the language files: packing into names, continuation lines, the files we ship.
// Hostile files meet the whole start-up in tst_window.
#include "window/language_table.h"

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
    QTest::newRow("an empty line keeps the join going")
        << QByteArray("a~\r\n\r\nb\r\nc\r\n") << 1 << u"a\r\nb"_s;
    QTest::newRow("and the numbers after it do not shift")
        << QByteArray("a~\r\n\r\nb\r\nc\r\n") << 2 << u"c"_s;
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
        // The out-of-range texts all end the same way: "card not written".
        const QString ending = table.GetMis(170).section(u';', -1);
        for (int n = 171; n <= 177; ++n)
            QCOMPARE(table.GetMis(n).section(u';', -1), ending);
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
