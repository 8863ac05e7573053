// Response texts, the status line formats and which controls are enabled when.
#include "link/response_text.h"
#include "window/control_state.h"
#include "window/language_table.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestStatusAndState : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void responseTexts_data();
    void responseTexts();
    void statusFormats_data();
    void statusFormats();
    void controlStates_data();
    void controlStates();

private:
    QTemporaryDir m_dir;
    LanguageTable m_table;
};

// A language whose message n reads "mN", so that every lookup shows which number it used.
void TestStatusAndState::initTestCase()
{
    QByteArray lines;
    for (int n = 1; n <= 200; ++n)
        lines += "m" + QByteArray::number(n) + "\r\n";
    QFile file(m_dir.filePath(LanguageTable::fileName(3)));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(lines);
    file.close();
    m_table.LoadMisFile(m_dir.path());
    QCOMPARE(m_table.GetMis(155), u"m155"_s);
}

void TestStatusAndState::responseTexts_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("0 success") << 0 << u"m155"_s;
    QTest::newRow("1") << 1 << u"m156"_s;
    QTest::newRow("6") << 6 << u"m161"_s;
    QTest::newRow("7 has no text of its own") << 7 << u"m169 (7)"_s;
    QTest::newRow("29") << 29 << u"m169 (29)"_s;
    QTest::newRow("30 waiting") << 30 << u"m162"_s;
    QTest::newRow("31 time-out") << 31 << u"m163"_s;
    QTest::newRow("B") << 0x42 << u"m164"_s;
    QTest::newRow("L") << 0x4C << u"m165"_s;
    QTest::newRow("T") << 0x54 << u"m166"_s;
    QTest::newRow("E") << 0x45 << u"m167"_s;
    QTest::newRow("K") << 0x4B << u"m168"_s;
    QTest::newRow("lower-case b") << 0x62 << u"m169 (98)"_s;
    QTest::newRow("255 port not open") << 255 << u"m169 (255)"_s;
}

void TestStatusAndState::responseTexts()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(GetMisResp(quint8(code), m_table), text);
}

void TestStatusAndState::statusFormats_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("line");
    QTest::newRow("open ok") << u"OpenPortCOM:"_s << 0 << u"OpenPortCOM: OK"_s;
    QTest::newRow("close error 1") << u"ClosePort:"_s << 1 << u"ClosePort: ERROR( 1)"_s;
    QTest::newRow("open error 255") << u"OpenPortCOM:"_s << 255 << u"OpenPortCOM: ERROR( 255)"_s;
}

void TestStatusAndState::statusFormats()
{
    QFETCH(QString, label);
    QFETCH(int, value);
    QFETCH(QString, line);
    QCOMPARE(statusWithResult(label, quint8(value)), line);
}

void TestStatusAndState::controlStates_data()
{
    QTest::addColumn<int>("portOpen");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("keyCardRead");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QList<bool>>("expected"); // open, close+query, cards, data block

    using L = QList<bool>;
    const QString uid = u"0- UID de tarjeta"_s;
    const QString block = u"2- Bloque de datos"_s;
    QTest::newRow("starting") << 0 << false << false << uid << L { false, false, false, false };
    QTest::newRow("port closed") << 0 << true << false << uid << L { true, false, false, false };
    QTest::newRow("port open, no key card")
        << 1 << true << false << uid << L { false, true, false, false };
    QTest::newRow("port open, key card read")
        << 1 << true << true << uid << L { false, true, true, false };
    QTest::newRow("closed after a key card read")
        << 0 << true << true << uid << L { true, false, false, false };
    QTest::newRow("busy") << 1 << false << true << uid << L { false, false, false, false };
    QTest::newRow("data-block mode, port closed")
        << 0 << true << false << block << L { true, false, false, true };
    QTest::newRow("data-block mode while busy")
        << 1 << false << true << block << L { false, false, false, true };
    QTest::newRow("data-block mode while starting")
        << 0 << false << false << block << L { false, false, false, true };
    QTest::newRow("empty mode text")
        << 1 << true << true << QString() << L { false, true, true, false };
    QTest::newRow("mode 2 needs the first character")
        << 1 << true << true << u" 2- Bloque"_s << L { false, true, true, false };
    QTest::newRow("any port value but 0 is open")
        << 7 << true << false << uid << L { false, true, false, false };
}

void TestStatusAndState::controlStates()
{
    QFETCH(int, portOpen);
    QFETCH(bool, enabled);
    QFETCH(bool, keyCardRead);
    QFETCH(QString, mode);
    QFETCH(QList<bool>, expected);

    const ControlEnables e = controlEnables({ quint8(portOpen), enabled, keyCardRead, mode });
    QCOMPARE((QList<bool> { e.openPort, e.portOpenActions, e.cardButtons, e.dataBlock }), expected);
}

QTEST_APPLESS_MAIN(TestStatusAndState)
#include "tst_status_and_state.moc"
