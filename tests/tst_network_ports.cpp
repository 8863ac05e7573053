// Terminals behind a serial device server, end to end: the reader operations and the serial-port
// control over a network port, Debian's ser2net in raw and RFC 2217 mode in front of the
// standalone simulator's pseudo-terminal, and the simulator listening on TCP itself.
#include "commands/key_card_query.h"
#include "commands/reader_session.h"
#include "link/command_set.h"
#include "link/frame.h"
#include "network_bridge.h"
#include "platform/system_ports.h"
#include "sim/sim_rules.h"
#include "window/language_table.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTimer>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(Bridge)

class TestNetworkPorts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_languages.LoadMisFile(QStringLiteral(PORTEVAL_LANG_DIR)); }
    void keyCardQuery_data() { bridges(); }
    void keyCardQuery();
    void silentTerminalTimesOut_data() { bridges(); }
    void silentTerminalTimesOut();
    void serverGoesAwayMidWait_data() { bridges(); }
    void serverGoesAwayMidWait();
    void refusedConnectionFailsTheOpenQuickly_data();
    void refusedConnectionFailsTheOpenQuickly();

private:
    void bridges();
    std::unique_ptr<NetworkTerminal> terminal(const QStringList &simArguments);

    SystemPorts m_ports;
    LanguageTable m_languages;
};

void TestNetworkPorts::bridges()
{
    QTest::addColumn<Bridge>("bridge");
    QTest::newRow("ser2net raw") << Bridge::Ser2netRaw;
    QTest::newRow("ser2net rfc2217") << Bridge::Ser2netRfc2217;
    QTest::newRow("simulator listening") << Bridge::SimulatorListening;
}

std::unique_ptr<NetworkTerminal> TestNetworkPorts::terminal(const QStringList &simArguments)
{
    QFETCH(Bridge, bridge);
    if (bridge != Bridge::SimulatorListening && ser2netProgram().isEmpty())
        return nullptr;
    return std::make_unique<NetworkTerminal>(bridge, simArguments);
}

#define START_TERMINAL(var, arguments)                                                             \
    const auto var = terminal(arguments);                                                          \
    if (!var)                                                                                      \
        QSKIP("ser2net is not installed (apt-get install ser2net)");                               \
    QVERIFY2(!var->url.isEmpty(), "the simulator or ser2net did not start")

void TestNetworkPorts::keyCardQuery()
{
    START_TERMINAL(net, {});
    // Twice: a connection after the previous one was closed is served too.
    for (int round = 0; round < 2; ++round) {
        ReaderSession session(m_ports, m_languages);
        QCOMPARE(int(session.openPort(net->url)), 0);
        QCOMPARE(int(cmdGetInfoKeyCard(session)), 0);
        QCOMPARE(session.keys, defaultSimKeys());
        QCOMPARE(int(session.closePort()), 0);
    }
    const QList<QJsonObject> frames = net->loggedFrames();
    QCOMPARE(frames.size(), 32);
    for (int i = 0; i < 32; ++i) {
        const QByteArray sent
            = buildCommandFrame(Cmd::GetInfoKeyCard, GetTermID(), QByteArray(1, char(i % 16)));
        QCOMPARE(frames[i][u"hex"_s].toString(), QString::fromLatin1(sent.toHex(' ').toUpper()));
    }
}

void TestNetworkPorts::silentTerminalTimesOut()
{
    START_TERMINAL(net, (QStringList { u"--on"_s, u"0x72"_s, u"silent"_s }));
    ReaderSession session(m_ports, m_languages);
    QCOMPARE(int(session.openPort(net->url)), 0);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(int(cmdGetInfoKeyCard(session)), 31);
    // 20 ticks of 100 ms; the lower bound leaves a margin, the upper one room for a busy machine.
    QVERIFY2(clock.elapsed() >= 1800 && clock.elapsed() < 6000,
             qPrintable(QString::number(clock.elapsed())));
    QVERIFY(session.portOpen());
    QCOMPARE(net->loggedFrames().size(), 1);
}

void TestNetworkPorts::serverGoesAwayMidWait()
{
    START_TERMINAL(net, (QStringList { u"--on"_s, u"0x72"_s, u"silent"_s }));
    ReaderSession session(m_ports, m_languages);
    QCOMPARE(int(session.openPort(net->url)), 0);
    QTimer::singleShot(300, &session, [&net] { net->stopServing(); });
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(int(cmdGetInfoKeyCard(session)), 31);
    QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(session.portLost());
    QVERIFY(!session.portOpen());
    QVERIFY2(!session.portError().isEmpty(), "no reason given for the lost port");
}

void TestNetworkPorts::refusedConnectionFailsTheOpenQuickly_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::newRow("raw") << u"tcp"_s;
    QTest::newRow("rfc2217") << u"rfc2217"_s;
}

void TestNetworkPorts::refusedConnectionFailsTheOpenQuickly()
{
    QFETCH(QString, scheme);
    ReaderSession session(m_ports, m_languages);
    // The reason goes into the frame trace.
    QLoggingCategory::setFilterRules(u"porteval.link.debug=true"_s);
    QTest::ignoreMessage(QtDebugMsg,
                         QRegularExpression(u"-- cannot open %1://127.0.0.1:\\d+: Connection "
                                            "refused$"_s.arg(scheme)));
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(int(session.openPort(u"%1://127.0.0.1:%2"_s.arg(scheme).arg(freeTcpPort()))), 255);
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(session.portError().contains(u"refused"_s), qPrintable(session.portError()));
}

QTEST_GUILESS_MAIN(TestNetworkPorts)
#include "tst_network_ports.moc"
