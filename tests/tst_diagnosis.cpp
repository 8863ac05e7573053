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
#include "window_controls.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QSignalSpy>

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

// Presses the monitor's button `saveText` and answers its dialogs as a user would: the file
// dialog with `path`, a question with Yes if `yes`, else with its default button. How many
// questions were asked.
int saveThroughDialogs(FrameMonitor *monitor, const QString &saveText, const QString &path,
                       bool yes)
{
    int questions = 0;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, monitor, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *files = qobject_cast<QFileDialog *>(modal)) {
            files->selectFile(path);
            static_cast<QDialog *>(files)->accept(); // as its Save button does
        } else if (auto *question = qobject_cast<QMessageBox *>(modal)) {
            ++questions;
            (yes ? question->button(QMessageBox::Yes) : question->defaultButton())->click();
        }
    });
    answer.start(20);
    for (QPushButton *button : monitor->findChildren<QPushButton *>()) {
        if (button->text() == saveText)
            button->click();
    }
    return questions;
}

} // namespace

class TestDiagnosis : public QObject
{
    Q_OBJECT

private slots:
    void monitorShowsFramesFromTheStartKeysMasked()
    {
        DemoPorts ports(withRule(u"0x72:0#1 badcrc then answer"_s));
        frmConfigPorteval window(ports, languageDir(), temporaryHistoryPath());
        const WindowControls c(window);
        c.cmdOpenCOM->click();
        c.cmdGetInfoKeyCard->click();
        // Opened after the query, it shows the query's frames.
        c.actionMonitor->trigger();
        FrameMonitor *monitor = window.frameMonitor();
        monitor->model().flush();

        FrameMonitorModel &rows = monitor->model();
        QCOMPARE(rows.rowCount(), 16 + 1 + 16); // sent, dropped, accepted
        const QString dropped = rows.rowText(1);
        QVERIFY2(dropped.contains(window.languages().GetMis(Mis::FirstDropReason + 3)),
                 qPrintable(dropped));
        const QString accepted = rows.rowText(2);
        QVERIFY(accepted.contains(u"0: "_s + window.session().GetMisResp(0)));
        // The key A0A1A2A3A4A0 travels as its text, 41 30 41 31 ...: masked until asked for.
        QVERIFY(accepted.contains(u"** ** ** ** ** ** ** ** ** ** ** **"_s));
        QVERIFY(!accepted.contains(u"41 30 41 31"_s));
        monitor->showKeys()->setChecked(true);
        QVERIFY(rows.rowText(2).contains(u"41 30 41 31"_s));

        // Closed, it masks the keys again and goes on collecting.
        monitor->close();
        QVERIFY(!monitor->showKeys()->isChecked());
        c.cmdGetInfoKeyCard->click();
        rows.flush();
        QCOMPARE(rows.rowCount(), 33 + 32);
    }

    // Save writes the keys masked and asks nothing while they are masked; while they are shown, it
    // asks, and only Yes writes them in the clear: No, the default, keeps them masked.
    void monitorSave_data()
    {
        QTest::addColumn<bool>("shown");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<int>("questions");
        QTest::newRow("keys masked") << false << true << 0;
        QTest::newRow("keys shown, the default answer") << true << false << 1;
        QTest::newRow("keys shown, Yes") << true << true << 1;
    }

    void monitorSave()
    {
        QFETCH(bool, shown);
        QFETCH(bool, yes);
        QFETCH(int, questions);
        DemoPorts ports;
        frmConfigPorteval window(ports, languageDir(), temporaryHistoryPath());
        const WindowControls c(window);
        c.cmdOpenCOM->click();
        c.cmdGetInfoKeyCard->click();
        c.actionMonitor->trigger();
        window.frameMonitor()->showKeys()->setChecked(shown);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"frames.txt"_s);
        QCOMPARE(saveThroughDialogs(window.frameMonitor(),
                                    window.languages().GetMis(Mis::MonitorSave), path, yes),
                 questions);
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray text = saved.readAll();
        // The key A0A1A2A3A4A0 travels as its text, 41 30 41 31 ...
        QCOMPARE(text.contains("41 30 41 31"), shown && yes);
        QCOMPARE(text.contains("** ** ** **"), !(shown && yes));
    }

    void escapeEndsAWaitUnderIntermediateCodes()
    {
        // Sector 3 keeps the terminal busy: each intermediate code would give it 15 s more.
        DemoPorts ports(withRule(u"0x72:3#1 inter=5,6"_s));
        frmConfigPorteval window(ports, languageDir(), temporaryHistoryPath());
        const WindowControls c(window);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        c.cmdOpenCOM->click();
        QTimer::singleShot(300, &window, [&window, &c] {
            QVERIFY(c.cmdStopWait->isVisible());
            QTest::keyClick(&window, Qt::Key_Escape);
        });
        QElapsedTimer clock;
        clock.start();
        c.cmdGetInfoKeyCard->click();
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(c.txtStatus->text(), u"GetInfoKeyCard[3]: "_s + window.session().GetMisResp(31));
        QVERIFY(!c.cmdStopWait->isVisible());
        c.cmdGetInfoKeyCard->click();
        QCOMPARE(c.txtStatus->text(), u"GetInfoKeyCard[16]: "_s + window.session().GetMisResp(0));
    }

    void finderFindsTheOneTerminal()
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
        finder.list()->setCurrentRow(0); // chosen before it answers
        QVERIFY(done.wait(10000));
        QCOMPARE(finder.answered(), 1);
        QVERIFY(finder.list()->item(0)->text().endsWith(
            languages.GetMis(Mis::FinderAnswers).arg(u"PTV-SIM 1.0"_s)));
        QVERIFY(finder.list()->item(1)->text().endsWith(languages.GetMis(Mis::FinderNoAnswer)));
        finder.useButton()->click();
        QCOMPARE(chosen.value(0).value(0).toString(), u"1"_s);
    }

    void profileRoundTrip()
    {
        DemoPorts ports;
        QTemporaryDir dir;
        frmConfigPorteval from(ports, languageDir(), temporaryHistoryPath());
        const WindowControls fromControls(from);
        fromControls.txtCfgUART0->setText(u"145"_s);
        fromControls.txtCfgMis[6]->setText(u"Hola, adi\u00f3s"_s);
        fromControls.opCfgMis[6]->setChecked(true);
        QVERIFY(from.profiles().saveTo(dir.filePath(u"plain.ini"_s), false));
        QVERIFY(from.profiles().saveTo(dir.filePath(u"with-key.ini"_s), true));
        QCOMPARE(fromControls.txtStatus->text(),
                 from.languages()
                     .GetMis(Mis::ProfileSaved)
                     .arg(QDir::toNativeSeparators(dir.filePath(u"with-key.ini"_s))));
        // The one with the key is its owner's alone, as a key file is (Wine keeps no access lists).
        QVERIFY(underWine() || !readableByOthers(dir.filePath(u"with-key.ini"_s)));

        frmConfigPorteval to(ports, languageDir(), temporaryHistoryPath());
        const WindowControls toControls(to);
        toControls.txtOldKey->setText(u"111111111111"_s);
        QVERIFY(to.profiles().loadFrom(dir.filePath(u"plain.ini"_s)));
        QCOMPARE(toControls.txtCfgUART0->text(), u"145"_s);
        QCOMPARE(toControls.txtCfgMis[6]->text(), u"Hola, adi\u00f3s"_s);
        QVERIFY(toControls.opCfgMis[6]->isChecked());
        // A profile without the key leaves it.
        QCOMPARE(toControls.txtOldKey->text(), u"111111111111"_s);
        QVERIFY(to.profiles().loadFrom(dir.filePath(u"with-key.ini"_s)));
        QCOMPARE(toControls.txtOldKey->text(), u"5A17C3E09B42"_s);
    }

    void profileRejected_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("foreign INI file") << QByteArray("[General]\nuart0=&H01\n");
        QTest::newRow("not text at all") << QByteArray::fromHex("7f454c46020101000000");
        QTest::newRow("slot beyond 8") << QByteArray("[porteval]\nprofile=1\n[messages]\nslot=9\n");
        QTest::newRow("message longer than its box")
            << QByteArray("[porteval]\nprofile=1\n[messages]\ntext1=") + QByteArray(21, 'x') + "\n";
        QTest::newRow("section without its ]")
            << QByteArray("[porteval]\nprofile=1\n[configuration\nuart0=&H01\n");
    }

    void profileRejected()
    {
        QFETCH(QByteArray, contents);
        QTemporaryDir dir;
        QFile file(dir.filePath(u"bad.ini"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(contents);
        file.close();
        DemoPorts ports;
        frmConfigPorteval window(ports, languageDir(), temporaryHistoryPath());
        const WindowControls c(window);
        const QString uart0 = c.txtCfgUART0->text();
        const QString message = c.txtCfgMis[0]->text();
        // Refused again when tried again, unchanged.
        for (int attempt = 0; attempt < 2; ++attempt) {
            QVERIFY(!window.profiles().loadFrom(file.fileName()));
            QVERIFY(c.txtStatus->text().startsWith(
                window.languages().GetMis(Mis::ProfileRejected).section(u'%', 0, 0)));
            QCOMPARE(c.txtCfgUART0->text(), uart0);
            QCOMPARE(c.txtCfgMis[0]->text(), message);
        }
    }
};

QTEST_MAIN(TestDiagnosis)
#include "tst_diagnosis.moc"
