// porteval-cli end to end, as a script runs it: the standalone simulator on pseudo-terminals,
// every frame checked in the simulator's log.
#include "commands/cards.h"
#include "link/command_set.h"
#include "link/frame.h"
#include "pty_simulator.h"
#include "sim/demo_ports.h"
#include "temporary_history.h"
#include "window/frm_config_porteval.h"
#include "window/profile_actions.h"

#include <QComboBox>
#include <QJsonArray>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

struct CliRun
{
    int exitCode = -1;
    QList<QJsonObject> objects; // the --json lines, in the order printed
};

CliRun runCli(const QStringList &arguments)
{
    QProcess cli;
    cli.start(QStringLiteral(PORTEVAL_CLI), arguments);
    CliRun run;
    if (!cli.waitForFinished(30000) || cli.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = cli.exitCode();
    for (const QByteArray &line : cli.readAllStandardOutput().split('\n')) {
        if (line.startsWith('{'))
            run.objects << QJsonDocument::fromJson(line).object();
    }
    return run;
}

QString frameHex(quint8 code, const QByteArray &data)
{
    return QString::fromLatin1(buildCommandFrame(code, GetTermID(), data).toHex(' ').toUpper());
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void keysToAFileAndBackIntoACard();
    void threePortsOneSilent();
    void refusedFieldSendsNothing_data();
    void refusedFieldSendsNothing();
    void profileFromTheWindow();

private:
    QTemporaryDir m_dir;
};

void TestCli::initTestCase()
{
    if (PtySimulator().device.isEmpty())
        QSKIP("no pseudo-terminal available here");
}

void TestCli::keysToAFileAndBackIntoACard()
{
    PtySimulator sim;
    const QString keyFile = m_dir.filePath(u"keys.txt"_s);
    QCOMPARE(runCli({ u"read-keys"_s, u"--port"_s, sim.device, u"-o"_s, keyFile }).exitCode, 0);
    // Keys are secrets: the file is its owner's alone.
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup
        | QFileDevice::ReadOther | QFileDevice::WriteOther;
    QCOMPARE(QFile(keyFile).permissions() & others, QFileDevice::Permissions());

    const QString text = u"Saldo: 5 \u20ac"_s;
    const CliRun write = runCli({ u"write-messages"_s, u"--port"_s, sim.device, u"--keys"_s,
                                  keyFile, u"--slot"_s, u"5"_s, u"--text"_s, text, u"--json"_s });
    QCOMPARE(write.exitCode, 0);
    QCOMPARE(write.objects.size(), 1);
    QCOMPARE(write.objects[0][u"steps"_s].toArray().size(), 3);

    // The keys travel back as the window sends them: sectors 1 and 2 swapped for this card.
    const std::array<QString, 16> keys = defaultSimKeys();
    QByteArray download;
    for (int p = 0; p < 16; ++p)
        download += normalizedKey(keys[std::size_t(p == 1 ? 2 : p == 2 ? 1 : p)]);
    QStringList expected { frameHex(Cmd::DownloadKeys, download),
                           frameHex(Cmd::InitCfgCard, cardInitData()) };
    for (int k = 0; k < 3; ++k)
        expected << frameHex(Cmd::SetCfgCard, cardBlockData(messagesCardRecord(5, text), k));
    QCOMPARE(sim.loggedHex().mid(16), expected);
}

void TestCli::threePortsOneSilent()
{
    PtySimulator first;
    PtySimulator silent({ u"--on"_s, u"0x72"_s, u"silent"_s });
    PtySimulator last;
    const CliRun run
        = runCli({ u"read-keys"_s, u"--json"_s, u"--port"_s,
                   QStringList { first.device, silent.device, last.device }.join(u',') });
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.objects.size(), 3);
    // Printed as each port finishes: the silent one waits its 2 s while the others are done,
    // which they could not be if the ports took turns.
    QCOMPARE(run.objects[2][u"port"_s].toString(), silent.device);
    QCOMPARE(run.objects[2][u"result"_s].toInt(), 31);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(run.objects[i][u"result"_s].toInt(), 0);
        QCOMPARE(run.objects[i][u"keys"_s].toArray().at(2).toString(), u"020380A1B2C3"_s);
    }
}

void TestCli::refusedFieldSendsNothing_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("value");
    QTest::newRow("UART0 beyond a byte") << u"--uart0"_s << u"&H100"_s;
    QTest::newRow("block without a sector key") << u"--block"_s << u"64"_s;
}

void TestCli::refusedFieldSendsNothing()
{
    QFETCH(QString, option);
    QFETCH(QString, value);
    PtySimulator sim;
    const QString keyFile = m_dir.filePath(u"any-keys.txt"_s);
    QFile file(keyFile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("A0A1A2A3A4A5\n").repeated(16));
    file.close();
    const CliRun run = runCli({ u"write-config"_s, u"--port"_s, sim.device, u"--keys"_s, keyFile,
                                option, value, u"--json"_s });
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.objects.value(0)[u"text"_s].toString().startsWith(u"SetCfgConfig: "_s));
    QTest::qWait(100);
    QVERIFY(sim.loggedFrames().isEmpty());
}

void TestCli::profileFromTheWindow()
{
    // The window writes a configuration card to its built-in terminal and saves its fields.
    DemoPorts demo;
    frmConfigPorteval window(demo, QStringLiteral(PORTEVAL_LANG_DIR));
    window.txtCfgUART1->setText(u"145"_s);
    window.cCfgMode->setEditText(window.cCfgMode->itemText(1));
    window.txtNumBloc->setText(u"&H3F"_s);
    window.txtFinPos->setText(u"20"_s);
    const QString profile = m_dir.filePath(u"site.ini"_s);
    QVERIFY(window.profiles->saveTo(profile, false));
    window.cmdOpenCOM->click();
    window.cmdGetInfoKeyCard->click();
    window.cmdCfgConfig[0]->click();
    QStringList windowFrames;
    for (const ReceivedFrame &frame : demo.lastDevice()->terminal().receivedFrames().mid(16))
        windowFrames << QString::fromLatin1(frame.raw.toHex(' ').toUpper());

    // The command line, with that profile and a terminal holding the same keys, sends the same.
    PtySimulator sim;
    const QString keyFile = m_dir.filePath(u"site-keys.txt"_s);
    QCOMPARE(runCli({ u"read-keys"_s, u"--port"_s, sim.device, u"-o"_s, keyFile }).exitCode, 0);
    QCOMPARE(runCli({ u"write-config"_s, u"--port"_s, sim.device, u"--keys"_s, keyFile,
                      u"--profile"_s, profile })
                 .exitCode,
             0);
    QCOMPARE(windowFrames.size(), 5);
    QCOMPARE(sim.loggedHex().mid(16), windowFrames);
}

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
