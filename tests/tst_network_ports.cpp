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
#include "texts/language_table.h"

#include <QElapsedTimer>
#include <QTimer>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(Bridge)

namespace {
const std::pair<Bridge, const char *> kBridges[]
    = { { Bridge::Ser2netRaw, "ser2net raw" },
        { Bridge::Ser2netRfc2217, "ser2net rfc2217" },
        { Bridge::SimulatorListening, "simulator listening" } };
} // namespace

#define START_TERMINAL(var, arguments)                                                             \
    QFETCH(Bridge, bridge);                                                                        \
    if (bridge != Bridge::SimulatorListening && ser2netProgram().isEmpty())                        \
        QSKIP("ser2net is not installed (apt-get install ser2net)");                               \
    NetworkTerminal var(bridge, arguments);                                                        \
    QVERIFY2(!var.url.isEmpty(), "the simulator or ser2net did not start")

class TestNetworkPorts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_languages.LoadMisFile(QStringLiteral(PORTEVAL_LANG_DIR)); }

    void keyCardQuery_data()
    {
        QTest::addColumn<Bridge>("bridge");
        for (const auto &[bridge, name] : kBridges)
            QTest::newRow(name) << bridge;
    }

    void keyCardQuery()
    {
        START_TERMINAL(net, {});
        // Twice: a connection after the previous one was closed is served too.
        for (int round = 0; round < 2; ++round) {
            ReaderSession session(m_ports, m_languages);
            QCOMPARE(int(session.openPort(net.url)), 0);
            QCOMPARE(int(cmdGetInfoKeyCard(session)), 0);
            QCOMPARE(session.ownValues().keys, defaultSimKeys());
            QCOMPARE(int(session.closePort()), 0);
        }
        const QStringList frames = net.loggedHex();
        QCOMPARE(frames.size(), 32);
        for (int i = 0; i < 32; ++i) {
            const QByteArray sent
                = buildCommandFrame(Cmd::GetInfoKeyCard, GetTermID(), QByteArray(1, char(i % 16)));
            QCOMPARE(frames[i], QString::fromLatin1(sent.toHex(' ').toUpper()));
        }
    }

    void noAnswer_data()
    {
        QTest::addColumn<Bridge>("bridge");
        QTest::addColumn<bool>("serverLeaves"); // 0.3 s into the wait
        for (const auto &[bridge, name] : kBridges) {
            QTest::addRow("%s, silent terminal", name) << bridge << false;
            QTest::addRow("%s, server leaves", name) << bridge << true;
        }
    }

    void noAnswer()
    {
        QFETCH(bool, serverLeaves);
        START_TERMINAL(net, (QStringList { u"--on"_s, u"0x72"_s, u"silent"_s }));
        ReaderSession session(m_ports, m_languages);
        QCOMPARE(int(session.openPort(net.url)), 0);
        if (serverLeaves)
            QTimer::singleShot(300, &session, [&net] { net.stopServing(); });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(int(cmdGetInfoKeyCard(session)), 31);
        // A silent terminal takes 20 ticks of 100 ms: the lower bound leaves a margin, the upper
        // one room for a busy machine. A server that leaves is a lost port at once.
        const qint64 ms = clock.elapsed();
        QVERIFY2(serverLeaves ? ms < 1500 : ms >= 1800 && ms < 6000,
                 qPrintable(QString::number(ms)));
        QCOMPARE(session.portLost(), serverLeaves);
        QCOMPARE(session.portOpen(), !serverLeaves);
        QCOMPARE(net.loggedHex().size(), 1);
    }

private:
    SystemPorts m_ports;
    LanguageTable m_languages;
};

QTEST_GUILESS_MAIN(TestNetworkPorts)
#include "tst_network_ports.moc"
