// What the window offers a technician in front of a silent terminal, and for a site: the frame
// monitor, ending a long wait, finding the terminal among the ports, profiles.
#include "host.h"
#include "platform/secret_file.h"
#include "platform/system_ports.h"
#include "pty_simulator.h"
#include "sim/demo_ports.h"
#include "temporary_history.h"
#include "texts/message_numbers.h"
#include "window/frame_monitor.h"
#include "window/frame_monitor_model.h"
#include "window/frm_config_porteval.h"
#include "window/port_finder.h"
#include "window/profile_actions.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

QString languageDir()
{
    return QStringLiteral(PORTEVAL_LANG_DIR);
}

SimOptions withRule(const QString &rule)
{
    SimOptions options;
    options.rules << *parseSimRule(rule, nullptr);
    return options;
}

// Two real ports, numbered 1 and 2: two standalone simulators, each on its pseudo-terminal.
class TwoPtys : public PortProvider
{
public:
    TwoPtys(const QString &first, const QString &second)
        : m_devices { first, second }
    { }
    std::unique_ptr<SerialDevice> device(const PortRequest &request, QString *whyNot) override
    {
        if (request.number < 1 || request.number > 2) {
            *whyNot = u"no such port"_s;
            return nullptr;
        }
        return SystemPorts().device(*parsePortText(m_devices[request.number - 1]), whyNot);
    }
    QList<NumberedPort> numberedPorts() const override
    {
        return { { 1, m_devices[0], {}, false }, { 2, m_devices[1], {}, false } };
    }
    std::unique_ptr<PortProvider> clone() const override
    {
        return std::make_unique<TwoPtys>(m_devices[0], m_devices[1]);
    }

private:
    QString m_devices[2];
};

} // namespace

class TestDiagnosis : public QObject
{
    Q_OBJECT

private slots:
    void monitorShowsFramesFromTheStartKeysMasked();
    void escapeEndsAWaitUnderIntermediateCodes();
    void finderFindsTheOneTerminal();
    void profileRoundTrip();
    void profileRejected_data();
    void profileRejected();
};

void TestDiagnosis::monitorShowsFramesFromTheStartKeysMasked()
{
    DemoPorts ports(withRule(u"0x72:0#1 badcrc then answer"_s));
    frmConfigPorteval window(ports, languageDir(), temporaryHistoryPath());
    window.cmdOpenCOM->click();
    window.cmdGetInfoKeyCard->click();
    // Opened after the query, it shows the query's frames.
    window.openFrameMonitor();
    FrameMonitor *monitor = window.frameMonitor();
    monitor->model().flush();

    FrameMonitorModel &rows = monitor->model();
    QCOMPARE(rows.rowCount(), 16 + 1 + 16); // sent, dropped, accepted
    const QString dropped = rows.rowText(1);
    QVERIFY2(dropped.contains(window.GetMis(Mis::FirstDropReason + 3)), qPrintable(dropped));
    const QString accepted = rows.rowText(2);
    QVERIFY(accepted.contains(u"0: "_s + window.GetMisResp(0)));
    // The key A0A1A2A3A4A0 travels as its text, 41 30 41 31 ...: masked until asked for.
    QVERIFY(accepted.contains(u"** ** ** ** ** ** ** ** ** ** ** **"_s));
    QVERIFY(!accepted.contains(u"41 30 41 31"_s));
    monitor->showKeys()->setChecked(true);
    QVERIFY(rows.rowText(2).contains(u"41 30 41 31"_s));
    // Saved, they stay masked unless the user said otherwise when asked.
    QTemporaryDir dir;
    for (const bool keysInClear : { false, true }) {
        const QString path = dir.filePath(u"frames.txt"_s);
        QString error;
        QVERIFY(monitor->saveTo(path, keysInClear, &error));
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll().contains("41 30 41 31"), keysInClear);
    }

    // Closed, it masks the keys again and goes on collecting.
    monitor->close();
    QVERIFY(!monitor->showKeys()->isChecked());
    window.cmdGetInfoKeyCard->click();
    rows.flush();
    QCOMPARE(rows.rowCount(), 33 + 32);
}

void TestDiagnosis::escapeEndsAWaitUnderIntermediateCodes()
{
    // Sector 3 keeps the terminal busy: each intermediate code would give it 15 s more.
    DemoPorts ports(withRule(u"0x72:3#1 inter=5,6"_s));
    frmConfigPorteval window(ports, languageDir(), temporaryHistoryPath());
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.cmdOpenCOM->click();
    QTimer::singleShot(300, &window, [&window] {
        QVERIFY(window.cmdStopWait->isVisible());
        QTest::keyClick(&window, Qt::Key_Escape);
    });
    QElapsedTimer clock;
    clock.start();
    window.cmdGetInfoKeyCard->click();
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(window.txtStatus->text(), u"GetInfoKeyCard[3]: "_s + window.GetMisResp(31));
    QVERIFY(!window.cmdStopWait->isVisible());
    window.cmdGetInfoKeyCard->click();
    QCOMPARE(window.txtStatus->text(), u"GetInfoKeyCard[16]: "_s + window.GetMisResp(0));
}

void TestDiagnosis::finderFindsTheOneTerminal()
{
    PtySimulator terminal;
    PtySimulator silent({ u"--on"_s, u"0xF3"_s, u"silent"_s });
    if (terminal.device.isEmpty() || silent.device.isEmpty())
        QSKIP("no pseudo-terminal available here");
    TwoPtys ports(terminal.device, silent.device);
    LanguageTable languages;
    languages.LoadMisFile(languageDir());
    PortFinder finder(ports, languages, nullptr);
    QSignalSpy done(&finder, &PortFinder::probingFinished);
    QSignalSpy chosen(&finder, &PortFinder::portChosen);
    QVERIFY(done.wait(10000));
    QCOMPARE(finder.answered(), 1);
    QVERIFY(finder.list()->item(0)->text().endsWith(
        languages.GetMis(Mis::FinderAnswers).arg(u"PTV-SIM 1.0"_s)));
    QVERIFY(finder.list()->item(1)->text().endsWith(languages.GetMis(Mis::FinderNoAnswer)));
    finder.useButton()->click();
    QCOMPARE(chosen.value(0).value(0).toString(), u"1"_s);
}

void TestDiagnosis::profileRoundTrip()
{
    DemoPorts ports;
    QTemporaryDir dir;
    frmConfigPorteval from(ports, languageDir(), temporaryHistoryPath());
    from.txtCfgUART0->setText(u"145"_s);
    from.txtCfgMis[6]->setText(u"Hola, adi\u00f3s"_s);
    from.opCfgMis[6]->setChecked(true);
    QVERIFY(from.profiles->saveTo(dir.filePath(u"plain.ini"_s), false));
    QVERIFY(from.profiles->saveTo(dir.filePath(u"with-key.ini"_s), true));
    QCOMPARE(from.txtStatus->text(),
             from.GetMis(Mis::ProfileSaved)
                 .arg(QDir::toNativeSeparators(dir.filePath(u"with-key.ini"_s))));
    // The one with the key is its owner's alone, as a key file is (Wine keeps no access lists).
    QVERIFY(underWine() || !readableByOthers(dir.filePath(u"with-key.ini"_s)));

    frmConfigPorteval to(ports, languageDir(), temporaryHistoryPath());
    to.txtOldKey->setText(u"111111111111"_s);
    QVERIFY(to.profiles->loadFrom(dir.filePath(u"plain.ini"_s)));
    QCOMPARE(to.txtCfgUART0->text(), u"145"_s);
    QCOMPARE(to.messageText(6), u"Hola, adi\u00f3s"_s);
    QCOMPARE(to.selectedMessage(), 6);
    QCOMPARE(to.oldKeyText(), u"111111111111"_s); // a profile without the key leaves it
    QVERIFY(to.profiles->loadFrom(dir.filePath(u"with-key.ini"_s)));
    QCOMPARE(to.oldKeyText(), u"5A17C3E09B42"_s);
}

void TestDiagnosis::profileRejected_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::newRow("foreign INI file") << QByteArray("[General]\nuart0=&H01\n");
    QTest::newRow("not text at all") << QByteArray("\x7f"
                                                   "ELF\x02\x01\x01\0\0\0",
                                                   10);
    QTest::newRow("slot beyond 8") << QByteArray("[porteval]\nprofile=1\n[messages]\nslot=9\n");
    QTest::newRow("message longer than its box")
        << QByteArray("[porteval]\nprofile=1\n[messages]\ntext1=") + QByteArray(21, 'x') + "\n";
    QTest::newRow("section without its ]")
        << QByteArray("[porteval]\nprofile=1\n[configuration\nuart0=&H01\n");
}

void TestDiagnosis::profileRejected()
{
    QFETCH(QByteArray, contents);
    QTemporaryDir dir;
    QFile file(dir.filePath(u"bad.ini"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(contents);
    file.close();
    DemoPorts ports;
    frmConfigPorteval window(ports, languageDir(), temporaryHistoryPath());
    const QString uart0 = window.txtCfgUART0->text();
    const QString message = window.messageText(0);
    // Refused again when tried again, unchanged.
    for (int attempt = 0; attempt < 2; ++attempt) {
        QVERIFY(!window.profiles->loadFrom(file.fileName()));
        QVERIFY(window.txtStatus->text().startsWith(
            window.GetMis(Mis::ProfileRejected).section(u'%', 0, 0)));
        QCOMPARE(window.txtCfgUART0->text(), uart0);
        QCOMPARE(window.messageText(0), message);
    }
}

QTEST_MAIN(TestDiagnosis)
#include "tst_diagnosis.moc"
