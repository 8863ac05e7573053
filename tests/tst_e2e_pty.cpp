// The whole program's path to a terminal, end to end: the window's port handling and exchange,
// the serial-port control over QSerialPort, a pseudo-terminal, and the standalone simulator.
#include "link/calc_crc16.h"
#include "link/command_set.h"
#include "link/frame.h"
#include "platform/system_ports.h"
#include "sim/sim_rules.h"
#include "window/frm_config_porteval.h"
#include "window/message_numbers.h"
#include "window/resources/resources.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>
#include <functional>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

// porteval-terminal-sim on its pseudo-terminal, logging every frame it receives.
class Simulator
{
public:
    explicit Simulator(QStringList arguments)
    {
        arguments << u"--log"_s << logPath();
        m_process.start(QStringLiteral(PORTEVAL_TERMINAL_SIM), arguments);
        if (m_process.waitForStarted(5000)
            && QTest::qWaitFor([this] { return m_process.canReadLine(); }, 5000)) {
            device = QString::fromLocal8Bit(m_process.readLine().trimmed());
        }
    }
    ~Simulator()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(2000))
                m_process.kill();
        }
    }

    QString logPath() const { return m_dir.filePath(u"frames.jsonl"_s); }
    QList<QJsonObject> loggedFrames() const
    {
        QFile file(logPath());
        QList<QJsonObject> frames;
        if (!file.open(QIODevice::ReadOnly))
            return frames;
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (!line.trimmed().isEmpty())
                frames << QJsonDocument::fromJson(line).object();
        }
        return frames;
    }
    bool finished() const { return m_process.state() == QProcess::NotRunning; }

    QString device;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};

QString spacedHex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

quint8 queryKey(frmConfigPorteval &window, int sector, QByteArray &answer)
{
    QString termId = GetTermID();
    QByteArray data(1, char(sector));
    return window.SendCom_RebAns(Cmd::GetInfoKeyCard, termId, data, answer);
}

void openDevice(frmConfigPorteval &window, const QString &device)
{
    window.cEditCfg1->setText(device);
    window.cmdOpenCOM->click();
}

// Fills in a card's fields and presses its "Init + Set Card" button.
using CardWrite = std::function<void(frmConfigPorteval &)>;

} // namespace

Q_DECLARE_METATYPE(CardWrite)

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void openCloseAndBusyDevice();
    void framesOnTheWire();
    void cardsOnTheWire_data();
    void cardsOnTheWire();
    void answers_data();
    void answers();
    void portNotOpenWritesNothing();
    void deviceVanishesDuringAWait();

private:
    SystemPorts m_ports;
};

void TestEndToEnd::initTestCase()
{
    initPortevalResources();
    Simulator probe({});
    if (probe.device.isEmpty())
        QSKIP("no pseudo-terminal available here");
}

void TestEndToEnd::openCloseAndBusyDevice()
{
    Simulator sim({});
    frmConfigPorteval first(m_ports, QStringLiteral(PORTEVAL_LANG_DIR));
    frmConfigPorteval second(m_ports, QStringLiteral(PORTEVAL_LANG_DIR));
    openDevice(first, sim.device);
    QCOMPARE(first.txtStatus->text(), u"OpenPortCOM: OK"_s);
    openDevice(second, sim.device);
    QCOMPARE(second.txtStatus->text(), u"OpenPortCOM: ERROR( 255)"_s);
    QCOMPARE(int(second.bPortOpen), 0);
    QVERIFY(second.cmdOpenCOM->isEnabled());

    first.cmdCloseCOM->click();
    QCOMPARE(first.txtStatus->text(), u"ClosePort: OK"_s);
    second.cmdOpenCOM->click();
    QCOMPARE(second.txtStatus->text(), u"OpenPortCOM: OK"_s);
    second.cmdCloseCOM->click();
    QCOMPARE(second.txtStatus->text(), u"ClosePort: OK"_s);
}

void TestEndToEnd::framesOnTheWire()
{
    Simulator sim({});
    frmConfigPorteval window(m_ports, QStringLiteral(PORTEVAL_LANG_DIR));
    openDevice(window, sim.device);
    window.cmdGetInfoKeyCard->click();
    QCOMPARE(window.txtStatus->text(), u"GetInfoKeyCard[16]: "_s + window.GetMisResp(0));
    QCOMPARE(window.txtKey[2]->text(), u"020380A1B2C3"_s);
    window.cmdCfgMaster[0]->click();
    QCOMPARE(window.txtStatus->text(), u"SetCfgCard: "_s + window.GetMisResp(0));

    const QList<QJsonObject> frames = sim.loggedFrames();
    QCOMPARE(frames.size(), 16 + 3);
    for (int i = 0; i < 16; ++i) {
        QCOMPARE(
            frames[i][u"hex"_s].toString(),
            spacedHex(buildCommandFrame(Cmd::GetInfoKeyCard, GetTermID(), QByteArray(1, char(i)))));
        QVERIFY(frames[i][u"check_ok"_s].toBool());
    }
    // Sector 2's key travels escaped in the key download: 02 03 80 as 80 82, 80 83, 80 80.
    QCOMPARE(frames[16][u"name"_s].toString(), u"DownloadKeys"_s);
    QVERIFY(frames[16][u"hex"_s].toString().contains(u"80 82 80 83 80 80 A1 B2 C3"_s));
    const QByteArray block0 = QByteArray::fromHex("0200 6900000203 0000 A0A1A2A3A4A1 00 02")
        + char((0xA0 + 0xA1 + 0xA2 + 0xA3 + 0xA4 + 0xA1 + 0x02) & 0xFF);
    QCOMPARE(frames[18][u"data"_s].toString(), QString::fromLatin1(block0.toHex().toUpper()));
}

void TestEndToEnd::cardsOnTheWire_data()
{
    QTest::addColumn<CardWrite>("write");
    QTest::addColumn<QString>("statusName");
    QTest::addColumn<QByteArray>("blocks"); // the three 16-byte blocks, as the terminal keeps them

    QTest::newRow("messages card, slot 5, euro sign")
        << CardWrite([](frmConfigPorteval &window) {
               window.opCfgMis[4]->setChecked(true);
               window.txtCfgMis[4]->setText(u"Saldo: 5 \u20ac"_s);
               window.cmdCfgMis[0]->click();
           })
        << u"SetCfgMis"_s
        << QByteArray::fromHex("530000002005FFFFFFFFFFFFFFFFFFFC") + "Saldo: 5 \x80"
            + QByteArray(21, ' ') + char(0xC2);
    // Block 9 lies in sector 2, whose key 02 03 80 A1 B2 C3 travels escaped in block 1.
    QTest::newRow("configuration card, opening texts")
        << CardWrite([](frmConfigPorteval &window) { window.cmdCfgConfig[0]->click(); })
        << u"SetCfgConfig"_s
        << QByteArray::fromHex("54000002090091010F04092040FF010E 0F020380A1B2C3 000000000000000000"
                               "000000000000000000000000000000 AA");
}

void TestEndToEnd::cardsOnTheWire()
{
    QFETCH(CardWrite, write);
    QFETCH(QString, statusName);
    QFETCH(QByteArray, blocks);

    Simulator sim({});
    frmConfigPorteval window(m_ports, QStringLiteral(PORTEVAL_LANG_DIR));
    openDevice(window, sim.device);
    window.cmdGetInfoKeyCard->click(); // arms the card buttons
    write(window);
    QCOMPARE(window.txtStatus->text(), statusName + u": "_s + window.GetMisResp(0));

    const QList<QJsonObject> frames = sim.loggedFrames().mid(16);
    QStringList names;
    for (const QJsonObject &frame : frames) {
        names << frame[u"name"_s].toString();
        QVERIFY(frame[u"check_ok"_s].toBool());
    }
    QCOMPARE(names,
             (QStringList { u"DownloadKeys"_s, u"InitCfgCard"_s, u"SetCfgCard"_s, u"SetCfgCard"_s,
                            u"SetCfgCard"_s }));
    QCOMPARE(blocks.size(), 48);
    for (int k = 0; k < 3; ++k) {
        const QByteArray data = QByteArray("\x02") + char(k) + blocks.mid(16 * k, 16);
        QCOMPARE(frames[2 + k][u"data"_s].toString(), QString::fromLatin1(data.toHex().toUpper()));
    }
}

void TestEndToEnd::answers_data()
{
    QTest::addColumn<int>("sector");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("lastShown"); // what the status line shows after the wait

    QTest::newRow("intermediate codes, then the answer") << 0 << 0 << u"6"_s;
    QTest::newRow("code 30, then the answer") << 1 << 0 << QString();
    QTest::newRow("bad check field") << 2 << 31 << QString();
    QTest::newRow("second byte not 1B") << 3 << 31 << QString();
    QTest::newRow("length one too large") << 4 << 31 << QString();
    QTest::newRow("unescaped 03 inside") << 5 << 0 << QString();
    QTest::newRow("final error E") << 6 << int('E') << QString();
}

void TestEndToEnd::answers()
{
    QFETCH(int, sector);
    QFETCH(int, result);
    QFETCH(QString, lastShown);

    Simulator sim({ u"--on"_s,      u"0x72:0"_s, u"inter=5,6"_s, u"then"_s,    u"answer"_s,
                    u"--on"_s,      u"0x72:1"_s, u"wait"_s,      u"then"_s,    u"answer"_s,
                    u"--on"_s,      u"0x72:2"_s, u"badcrc"_s,    u"--on"_s,    u"0x72:3"_s,
                    u"badheader"_s, u"--on"_s,   u"0x72:4"_s,    u"longlen"_s, u"--on"_s,
                    u"0x72:5"_s,    u"raw03"_s,  u"--on"_s,      u"0x72:6"_s,  u"code=E"_s });
    frmConfigPorteval window(m_ports, QStringLiteral(PORTEVAL_LANG_DIR));
    window.Timer1.setInterval(20ms); // budgets in ticks: a time-out here takes 0.4 s
    openDevice(window, sim.device);
    window.txtStatus->clear();
    QByteArray answer = "untouched";
    QCOMPARE(int(queryKey(window, sector, answer)), result);
    QCOMPARE(answer, result == 0 ? defaultSimKeys()[sector].toLatin1() : QByteArray("untouched"));
    QCOMPARE(window.txtStatus->text(),
             lastShown.isEmpty() ? QString() : window.GetMisResp(quint8(lastShown.toInt())));
}

void TestEndToEnd::portNotOpenWritesNothing()
{
    Simulator sim({});
    frmConfigPorteval window(m_ports, QStringLiteral(PORTEVAL_LANG_DIR));
    QByteArray answer = "untouched";
    QCOMPARE(int(queryKey(window, 0, answer)), 255);
    openDevice(window, sim.device);
    window.cmdCloseCOM->click();
    QCOMPARE(int(queryKey(window, 0, answer)), 255);
    QTest::qWait(100);
    QVERIFY(sim.loggedFrames().isEmpty());

    // With the port open, the window's own 100 ms tick gives up after 20 ticks: 1.9 to 2 s.
    // The lower bound keeps a margin below that and still tells 2 s from a 1 s budget.
    Simulator silent({ u"--on"_s, u"0x72"_s, u"silent"_s });
    openDevice(window, silent.device);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(int(queryKey(window, 0, answer)), 31);
    QVERIFY2(clock.elapsed() >= 1800 && clock.elapsed() < 6000,
             qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(answer, QByteArray("untouched"));
    QCOMPARE(silent.loggedFrames().size(), 1);
}

void TestEndToEnd::deviceVanishesDuringAWait()
{
    auto sim = std::make_unique<Simulator>(QStringList { u"--on"_s, u"0x72:7"_s, u"vanish"_s });
    frmConfigPorteval window(m_ports, QStringLiteral(PORTEVAL_LANG_DIR));
    openDevice(window, sim->device);
    const std::clock_t cpuBefore = std::clock();
    QElapsedTimer clock;
    clock.start();
    window.cmdGetInfoKeyCard->click();
    const double cpuSeconds = double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
    // The wait for sector 7 ends when the device goes, not after its 2 s; the port is closed
    // as "Cerrar COM" closes it and the status line says why.
    QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(cpuSeconds < 1.0, qPrintable(QString::number(cpuSeconds))); // no error storm
    QCOMPARE(window.txtStatus->text(), window.GetMis(Mis::PortLost));
    QCOMPARE(int(window.bPortOpen), 0);
    QVERIFY(!window.ctlMSComm1.PortOpen());
    QVERIFY(window.cmdOpenCOM->isEnabled() && !window.cmdCloseCOM->isEnabled());
    QTRY_VERIFY(sim->finished());

    sim = std::make_unique<Simulator>(QStringList {});
    openDevice(window, sim->device);
    QCOMPARE(window.txtStatus->text(), u"OpenPortCOM: OK"_s);
    window.cmdGetInfoKeyCard->click();
    QCOMPARE(window.txtStatus->text(), u"GetInfoKeyCard[16]: "_s + window.GetMisResp(0));
}

QTEST_MAIN(TestEndToEnd)
#include "tst_e2e_pty.moc"
