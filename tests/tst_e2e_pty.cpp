// The whole program's path to a terminal, end to end: the window's port handling and exchange,
// the serial-port control over QSerialPort, a pseudo-terminal, and the standalone simulator.
#include "host.h"
#include "link/command_set.h"
#include "link/frame.h"
#include "platform/system_ports.h"
#include "pty_simulator.h"
#include "temporary_history.h"
#include "texts/message_numbers.h"
#include "window/frm_config_porteval.h"
#include "window/resources/resources.h"
#include "window_controls.h"

#include <QElapsedTimer>

using namespace Qt::StringLiterals;

namespace {

void openDevice(const WindowControls &window, const QString &device)
{
    window.cEditCfg1->setText(device);
    window.cmdOpenCOM->click();
}

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        initPortevalResources();
        PtySimulator probe;
        if (probe.device.isEmpty())
            QSKIP("no pseudo-terminal available here");
    }

    // A port is open for one window at a time; closed, the next can have it.
    void openCloseAndBusyDevice()
    {
        PtySimulator sim;
        frmConfigPorteval first(m_ports, QStringLiteral(PORTEVAL_LANG_DIR), temporaryHistoryPath());
        const WindowControls firstControls(first);
        frmConfigPorteval second(m_ports, QStringLiteral(PORTEVAL_LANG_DIR),
                                 temporaryHistoryPath());
        const WindowControls secondControls(second);
        openDevice(firstControls, sim.device);
        QCOMPARE(firstControls.txtStatus->text(), u"OpenPortCOM: OK"_s);
        openDevice(secondControls, sim.device);
        QCOMPARE(secondControls.txtStatus->text(), u"OpenPortCOM: ERROR( 255)"_s);
        firstControls.cmdCloseCOM->click();
        QCOMPARE(firstControls.txtStatus->text(), u"ClosePort: OK"_s);
        secondControls.cmdOpenCOM->click();
        QCOMPARE(secondControls.txtStatus->text(), u"OpenPortCOM: OK"_s);
    }

    // A key card read and two cards written from their buttons: the frames as the terminal logged
    // them, sector 2's key escaped in the key download, the typed message in its block.
    void operationsOnTheWire()
    {
        PtySimulator sim;
        frmConfigPorteval window(m_ports, QStringLiteral(PORTEVAL_LANG_DIR),
                                 temporaryHistoryPath());
        const WindowControls c(window);
        openDevice(c, sim.device);
        c.cmdGetInfoKeyCard->click();
        QCOMPARE(c.txtKey[2]->text(), u"020380A1B2C3"_s);
        c.opCfgMis[4]->setChecked(true);
        c.txtCfgMis[4]->setText(u"Saldo: 5 \u20ac"_s);
        c.cmdCfgMis[0]->click();
        c.cmdCfgConfig[0]->click();
        QCOMPARE(c.txtStatus->text(), u"SetCfgConfig: "_s + window.session().GetMisResp(0));

        const QList<QJsonObject> frames = sim.loggedFrames();
        QStringList names;
        for (const QJsonObject &frame : frames) {
            QVERIFY(frame[u"check_ok"_s].toBool());
            names << frame[u"name"_s].toString();
        }
        const QStringList card { u"DownloadKeys"_s, u"InitCfgCard"_s, u"SetCfgCard"_s,
                                 u"SetCfgCard"_s, u"SetCfgCard"_s };
        QCOMPARE(names, QStringList(16, u"GetInfoKeyCard"_s) + card + card);
        QVERIFY(frames[16][u"hex"_s].toString().contains(u"80 82 80 83 80 80 A1 B2 C3"_s));
        // The typed message in Windows-1252: the euro sign is 80, escaped.
        QVERIFY(frames[19][u"hex"_s].toString().contains(u"35 20 80 80 20"_s));
    }

    // An unplug mid-wait ends the wait at once (within 0.5 s, not after the 2 s budget), without
    // spinning on the hung-up line, closes the port as Close COM would and says so; a fresh
    // device opens again without a restart.
    void deviceVanishesDuringAWait()
    {
        auto sim
            = std::make_unique<PtySimulator>(QStringList { u"--on"_s, u"0x72:7"_s, u"vanish"_s });
        frmConfigPorteval window(m_ports, QStringLiteral(PORTEVAL_LANG_DIR),
                                 temporaryHistoryPath());
        const WindowControls c(window);
        openDevice(c, sim->device);
        const double cpuBefore = processorSeconds();
        QElapsedTimer clock;
        clock.start();
        c.cmdGetInfoKeyCard->click();
        const double cpuSeconds = processorSeconds() - cpuBefore;
        QVERIFY2(clock.elapsed() < 500, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(cpuSeconds < 0.3, qPrintable(QString::number(cpuSeconds))); // no error storm
        QCOMPARE(c.txtStatus->text(), window.languages().GetMis(Mis::PortLost));
        QCOMPARE(int(window.session().bPortOpen()), 0);
        QVERIFY(c.cmdOpenCOM->isEnabled() && !c.cmdCloseCOM->isEnabled());
        QTRY_VERIFY(sim->finished());

        sim = std::make_unique<PtySimulator>();
        openDevice(c, sim->device);
        QCOMPARE(c.txtStatus->text(), u"OpenPortCOM: OK"_s);
        c.cmdGetInfoKeyCard->click();
        QCOMPARE(c.txtStatus->text(), u"GetInfoKeyCard[16]: "_s + window.session().GetMisResp(0));
    }

private:
    SystemPorts m_ports;
};

QTEST_MAIN(TestEndToEnd)
#include "tst_e2e_pty.moc"
