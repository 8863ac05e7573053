// The window as a user meets it, offscreen: captions and languages, tips, control state, the
// port buttons and the reader operations run from their buttons against the simulated terminal.
#include "sim/demo_ports.h"
#include "window/clickable_label.h"
#include "window/frm_config_porteval.h"
#include "window/resources/resources.h"
#include "window/tooltip.h"

#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <limits>
#include <memory>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// The simulated terminal behind numbers 1 to 9 only, recording what was asked for.
class RecordingPorts : public PortProvider
{
public:
    std::unique_ptr<SerialDevice> device(const PortRequest &request, QString *whyNot) override
    {
        requests << request.text();
        if (request.devicePath.isEmpty() && (request.number < 1 || request.number > 9)) {
            *whyNot = u"no such port"_s;
            return nullptr;
        }
        auto device = std::make_unique<SimulatedTerminalDevice>();
        last = device.get();
        return device;
    }
    QList<NumberedPort> numberedPorts() const override { return { { 1, {}, {}, true } }; }
    std::unique_ptr<PortProvider> clone() const override { return std::make_unique<DemoPorts>(); }

    QStringList requests;
    QPointer<SimulatedTerminalDevice> last;
};

QString languageDir()
{
    return QStringLiteral(PORTEVAL_LANG_DIR);
}

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { initPortevalResources(); }
    void withoutLanguageFiles();
    void startsInTheFirstLanguage();
    void startsQuicklyWithHostileLanguageFiles_data();
    void startsQuicklyWithHostileLanguageFiles();
    void switchingLanguage();
    void emptyLanguageLabelIgnoresClicks();
    void startupControlState();
    void typingLimits();
    void readModeEnablesDataBlock();
    void openAndClose();
    void portNumberTexts_data();
    void portNumberTexts();
    void keyCardArmsCardButtons();
    void controlsStayDisabledDuringAWait();
    void closingDuringAWait();
};

void TestWindow::withoutLanguageFiles()
{
    QTemporaryDir empty;
    RecordingPorts ports;
    frmConfigPorteval window(ports, empty.path());
    QCOMPARE(int(window.languages.iIdioma), 0);
    QCOMPARE(window.windowTitle(), QString());
    QCOMPARE(window.lLabel[0]->text(), QString());
    QCOMPARE(window.cmdOpenCOM->text(), QString());
    QCOMPARE(window.SSTab1->tabText(0), QString());
    QCOMPARE(window.cCfgMode->count(), 2);
    // Value boxes and message boxes keep their design texts; the status line its dashes.
    QCOMPARE(window.txtCfgMis[7]->text(), u" "_s);
    QCOMPARE(window.txtCfgUART1->text(), u"&H91"_s);
    QCOMPARE(window.txtOldKey->text(), u"5A17C3E09B42"_s);
    QCOMPARE(window.txtStatus->text(), u"----"_s);
    QCOMPARE(window.oTooltip->iNumTip(), 51);
    QCOMPARE(window.oTooltip->tipTextFor(window.cmdOpenCOM), QString());
    // Still usable: the port opens and says so, with an empty status text.
    window.cmdOpenCOM->click();
    QCOMPARE(window.txtStatus->text(), u"OpenPortCOM: OK"_s);
}

void TestWindow::startsInTheFirstLanguage()
{
    RecordingPorts ports;
    frmConfigPorteval window(ports, languageDir());
    QCOMPARE(int(window.languages.iIdioma), 1);
    QCOMPARE(window.windowTitle(), u"Porteval - Programa demo"_s);
    const QStringList names { u"Espa\u00f1ol"_s, u"English"_s, u"Catal\u00e0"_s, u"Fran\u00e7ais"_s,
                              u"Portugu\u00eas"_s };
    for (int i = 0; i < 5; ++i)
        QCOMPARE(window.cIdioma[i]->text(), names[i]);
    QCOMPARE(window.lLabel[0]->text(), u"Port number:"_s);
    QCOMPARE(window.fFrame[6]->title(), u"Lectura de datos"_s);
    QCOMPARE(window.opCfgMis[7]->text(), u"Mensaje 08:"_s);
    QCOMPARE(window.cmdCfgMis[1]->text(), u"Set Card"_s);
    QCOMPARE(window.cCfgMode->currentText(), u"0- UID de tarjeta"_s);
    QCOMPARE(window.oTooltip->iNumTip(), 51);
    QCOMPARE(window.oTooltip->tipTextFor(window.txtKey[5]), window.GetMis(111));
    QCOMPARE(window.oTooltip->tipTextFor(window.opCfgMis[0]), window.GetMis(145));
    // Samples come from between the double quotes of the message tips.
    const QString tip = window.GetMis(130);
    QCOMPARE(window.txtCfgMis[0]->text(), tip.section(u'"', 1, 1));
    QVERIFY(!window.txtCfgMis[0]->text().isEmpty());
    // Every text box is announced by its caption.
    QCOMPARE(window.txtKey[0]->accessibleName(), u"Sector 0"_s);
    QCOMPARE(window.txtNumBloc->accessibleName(), u"N\u00famero de bloque"_s);
    QCOMPARE(window.cEditCfg1->accessibleName(), u"Port number"_s);
    // The port box's tip lists the ports when it shows.
    QCOMPARE(window.oTooltip->tipTextFor(window.cEditCfg1), window.GetMis(105));
}

// One hostile file 1 beside the English file 2: the window starts in under a second, shows
// what it could read and works.
void TestWindow::startsQuicklyWithHostileLanguageFiles_data()
{
    QTest::addColumn<QByteArray>("file"); // "fifo" makes a named pipe instead
    QTest::addColumn<bool>("noPermission");
    QTest::addColumn<QString>("name"); // slot 4's language name afterwards; "*" for anything

    QByteArray garbage(1 << 20, '\0');
    for (int i = 0; i < garbage.size(); ++i)
        garbage[i] = char((i * 7919) ^ (i >> 5));
    QByteArray controls;
    for (int b = 0x80; b <= 0x9F; ++b)
        controls += char(b);
    QTest::newRow("binary garbage") << garbage << false << u"*"_s;
    QTest::newRow("50 MB of continued lines")
        << "Fifty\r\n" + QByteArray("0123456789~\r\n").repeated((50 << 20) / 13) << false
        << u"Fifty"_s;
    QTest::newRow("one line of a million characters") << QByteArray(1000000, 'W')
            + "\r\nafter\r\n" << false << QString(LanguageTable::kMaxMessageLength, u'W');
    QTest::newRow("bytes 0x80-0x9F") << controls.repeated(200) + "\r\n" << false << u"*"_s;
    QTest::newRow("no permission") << QByteArray("Locked\r\n") << true << u"*"_s;
    // Opening a pipe would block for ever: it is present but not a file to read.
    QTest::newRow("named pipe") << QByteArray("fifo") << false << QString();
}

void TestWindow::startsQuicklyWithHostileLanguageFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, noPermission);
    QFETCH(QString, name);

    QTemporaryDir dir;
    const QString path = dir.filePath(LanguageTable::fileName(1));
    if (file == "fifo") {
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
    } else {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        QCOMPARE(out.write(file), file.size());
    }
    if (noPermission)
        QVERIFY(QFile::setPermissions(path, {}));
    QVERIFY(QFile::copy(languageDir() + u"/MisI02.dat"_s, dir.filePath(u"MisI02.dat"_s)));
    // Root reads a file without permissions all the same.
    const bool readable = file != "fifo" && (!noPermission || QFileInfo(path).isReadable());

    RecordingPorts ports;
    std::unique_ptr<frmConfigPorteval> window;
    qint64 fastestMs = std::numeric_limits<qint64>::max();
    for (int run = 0; run < 3; ++run) { // the fastest of three: a busy machine can stall one
        window.reset();
        QElapsedTimer clock;
        clock.start();
        window = std::make_unique<frmConfigPorteval>(ports, dir.path());
        fastestMs = std::min(fastestMs, clock.elapsed());
    }
    QCOMPARE(int(window->languages.iIdioma), readable ? 4 : 5);
    QCOMPARE(window->cIdioma[4]->text(), u"English"_s);
    if (name != u"*")
        QCOMPARE(window->cIdioma[3]->text(), name);
    for (int n = 0; n <= LanguageTable::kLastMessage; ++n)
        QVERIFY(window->languages.message(4, n).size() <= 2 * LanguageTable::kMaxMessageLength);
    QCOMPARE(window->size(), QSize(443, 499));
    QCOMPARE(window->oTooltip->iNumTip(), 51);
    window->cmdOpenCOM->click();
    QCOMPARE(window->txtStatus->text(), u"OpenPortCOM: OK"_s);
    qInfo("start-up: %lld ms", fastestMs);
#if !defined(__SANITIZE_ADDRESS__)
    QVERIFY2(fastestMs < 1000, qPrintable(QString::number(fastestMs)));
#endif
}

void TestWindow::switchingLanguage()
{
    RecordingPorts ports;
    frmConfigPorteval window(ports, languageDir());
    window.txtCfgMis[1]->setText(u"typed by the user"_s);
    const QString spanishTip = window.oTooltip->tipTextFor(window.cmdOpenCOM);

    QTest::mouseClick(window.cIdioma[1], Qt::LeftButton);
    QCOMPARE(int(window.languages.iIdioma), 2);
    QCOMPARE(window.cmdOpenCOM->text(), u"Open COM"_s);
    QCOMPARE(window.oTooltip->iNumTip(), 51);
    QCOMPARE(window.oTooltip->tipTextFor(window.cmdOpenCOM), window.GetMis(90));
    QVERIFY(window.oTooltip->tipTextFor(window.cmdOpenCOM) != spanishTip);
    QCOMPARE(window.txtCfgMis[1]->text(), window.GetMis(131).section(u'"', 1, 1));
    QVERIFY(window.cCfgMode->currentText().startsWith(u'0'));
    QCOMPARE(window.txtKey[0]->accessibleName(), window.lLabel[2]->text().chopped(1).trimmed());
    // The language row stays the same whatever language is shown.
    QCOMPARE(window.cIdioma[0]->text(), u"Espa\u00f1ol"_s);
}

void TestWindow::emptyLanguageLabelIgnoresClicks()
{
    QTemporaryDir dir;
    QVERIFY(QFile::copy(languageDir() + u"/MisI03.dat"_s, dir.filePath(u"MisI03.dat"_s)));
    RecordingPorts ports;
    frmConfigPorteval window(ports, dir.path());
    QCOMPARE(int(window.languages.iIdioma), 5);
    QCOMPARE(window.cIdioma[4]->text(), u"Catal\u00e0"_s);
    const QString title = window.windowTitle();
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(window.cIdioma[i]->text(), QString());
        QTest::mouseClick(window.cIdioma[i], Qt::LeftButton);
        QCOMPARE(int(window.languages.iIdioma), 5);
    }
    QCOMPARE(window.windowTitle(), title);
}

void TestWindow::startupControlState()
{
    RecordingPorts ports;
    frmConfigPorteval window(ports, languageDir());
    window.show();
    QVERIFY(window.bEnableCtrls);
    QVERIFY(window.cmdOpenCOM->isEnabled());
    QVERIFY(window.cEditCfg1->isEnabled());
    QVERIFY(!window.cmdCloseCOM->isEnabled());
    QVERIFY(!window.cmdGetInfoKeyCard->isEnabled());
    for (QPushButton *button :
         { window.cmdCfgMaster[0], window.cmdCfgMaster[1], window.cmdCfgConfig[0],
           window.cmdCfgConfig[1], window.cmdCfgMis[0], window.cmdCfgMis[1] }) {
        QVERIFY(!button->isEnabled());
    }
    QVERIFY(!window.txtNumBloc->isEnabled());
    QVERIFY(!window.fFrame[6]->isEnabled());
    for (QPushButton *hidden :
         { window.cmdCfgMaster[1], window.cmdCfgConfig[1], window.cmdCfgMis[1] }) {
        for (int tab = 0; tab < 4; ++tab) {
            window.SSTab1->setCurrentIndex(tab);
            QVERIFY(!hidden->isVisible());
        }
    }
    QVERIFY(window.width() >= 443 && window.width() < 560);
    QVERIFY(window.height() >= 499 && window.height() < 620);
    QCOMPARE(window.minimumSize(), window.maximumSize());
}

void TestWindow::typingLimits()
{
    RecordingPorts ports;
    frmConfigPorteval window(ports, languageDir());
    window.txtOldKey->clear();
    QTest::keyClicks(window.txtOldKey, u"0123456789ABCD"_s);
    QCOMPARE(window.txtOldKey->text(), u"0123456789AB"_s);
    window.txtCfgMis[0]->clear();
    QTest::keyClicks(window.txtCfgMis[0], QString(25, u'x'));
    QCOMPARE(window.txtCfgMis[0]->text().size(), 20);
    // A paste keeps what fits, where the cursor is.
    window.txtOldKey->setText(u"0123"_s);
    window.txtOldKey->setCursorPosition(2);
    QGuiApplication::clipboard()->setText(u"abcdefghijkl"_s);
    window.txtOldKey->paste();
    QCOMPARE(window.txtOldKey->text(), u"01abcdefgh23"_s);
    const QString fixed = window.txtCfgMis[3]->text();
    QTest::keyClicks(window.txtCfgMis[3], u"abc"_s);
    QCOMPARE(window.txtCfgMis[3]->text(), fixed);
    QVERIFY(!window.txtKey[0]->isEnabled());
    // What the program writes is not cut.
    window.setKeyText(0, u"0123456789ABCDEF"_s);
    QCOMPARE(window.keyText(0).size(), 16);
}

void TestWindow::readModeEnablesDataBlock()
{
    RecordingPorts ports;
    frmConfigPorteval window(ports, languageDir());
    QWidget *const dataBlock[]
        = { window.fFrame[6],  window.txtNumBloc, window.txtIniPos, window.txtFinPos,
            window.lLabel[25], window.lLabel[26], window.lLabel[27] };
    for (bool busy : { false, true }) {
        window.EnableControls(!busy);
        window.cCfgMode->setCurrentIndex(1);
        for (QWidget *w : dataBlock)
            QVERIFY(w->isEnabled());
        window.cCfgMode->setCurrentIndex(0);
        for (QWidget *w : dataBlock)
            QVERIFY(!w->isEnabled());
        window.cCfgMode->setEditText(u"2"_s);
        QVERIFY(window.txtNumBloc->isEnabled());
    }
}

void TestWindow::openAndClose()
{
    RecordingPorts ports;
    frmConfigPorteval window(ports, languageDir());
    window.cmdCloseCOM_Click();
    QCOMPARE(window.txtStatus->text(), u"ClosePort: ERROR( 1)"_s);

    window.cmdOpenCOM->click();
    QCOMPARE(window.txtStatus->text(), u"OpenPortCOM: OK"_s);
    QCOMPARE(int(window.bPortOpen), 1);
    QVERIFY(!window.cmdOpenCOM->isEnabled());
    QVERIFY(!window.cEditCfg1->isEnabled());
    QVERIFY(window.cmdCloseCOM->isEnabled());
    QVERIFY(window.cmdGetInfoKeyCard->isEnabled());
    QVERIFY(!window.cmdCfgMis[0]->isEnabled());
    QVERIFY(ports.last);
    QCOMPARE(ports.last->lineSettings().baudRate, 38400);
    QCOMPARE(window.ctlMSComm1.Settings(), u"38400,n,8,1"_s);

    window.cmdOpenCOM_Click(); // only reachable by bypassing the disabled button
    QCOMPARE(window.txtStatus->text(), u"OpenPortCOM: ERROR( 1)"_s);
    QCOMPARE(ports.requests.size(), 1);

    window.cmdCloseCOM->click();
    QCOMPARE(window.txtStatus->text(), u"ClosePort: OK"_s);
    QCOMPARE(int(window.bPortOpen), 0);
    QVERIFY(window.cmdOpenCOM->isEnabled());
    QVERIFY(!window.ctlMSComm1.PortOpen());
}

void TestWindow::portNumberTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("request"); // what the port provider was asked for; empty: nothing
    QTest::addColumn<QString>("status");

    QTest::newRow("3") << u"3"_s << u"3"_s << u"OpenPortCOM: OK"_s;
    QTest::newRow("hex") << u"&H9"_s << u"9"_s << u"OpenPortCOM: OK"_s;
    QTest::newRow("device path") << u" /dev/ttyUSB7"_s << u"/dev/ttyUSB7"_s << u"OpenPortCOM: OK"_s;
    QTest::newRow("empty box") << QString() << u"0"_s << u"OpenPortCOM: ERROR( 255)"_s;
    QTest::newRow("no such port") << u"12"_s << u"12"_s << u"OpenPortCOM: ERROR( 255)"_s;
    QTest::newRow("beyond 16 bits") << u"40000"_s << QString() << u"OpenPortCOM: ERROR( 255)"_s;
}

void TestWindow::portNumberTexts()
{
    QFETCH(QString, text);
    QFETCH(QString, request);
    QFETCH(QString, status);

    RecordingPorts ports;
    frmConfigPorteval window(ports, languageDir());
    window.cEditCfg1->setText(text);
    window.cmdOpenCOM->click();
    QCOMPARE(window.txtStatus->text(), status);
    QCOMPARE(ports.requests, request.isEmpty() ? QStringList() : QStringList { request });
    const bool opened = status.endsWith(u"OK"_s);
    QCOMPARE(int(window.bPortOpen), opened ? 1 : 0);
    QCOMPARE(window.cmdOpenCOM->isEnabled(), !opened);
    QVERIFY(window.bEnableCtrls);
}

void TestWindow::keyCardArmsCardButtons()
{
    RecordingPorts ports;
    frmConfigPorteval window(ports, languageDir());
    window.cmdOpenCOM->click();
    window.cmdGetInfoKeyCard->click();
    QCOMPARE(window.txtStatus->text(), u"GetInfoKeyCard[16]: "_s + window.GetMisResp(0));
    QVERIFY(window.bKeyCardRead);
    for (int i = 0; i < 16; ++i)
        QCOMPARE(window.txtKey[i]->text(), ports.last->terminal().keys()[i]);
    QVERIFY(window.cmdCfgMaster[0]->isEnabled());
    QVERIFY(window.cmdCfgMis[1]->isEnabled());

    window.cmdCloseCOM->click();
    QVERIFY(!window.cmdCfgConfig[0]->isEnabled());
    window.cmdOpenCOM->click();
    QVERIFY(window.cmdCfgConfig[0]->isEnabled());
}

void TestWindow::controlsStayDisabledDuringAWait()
{
    RecordingPorts ports;
    frmConfigPorteval window(ports, languageDir());
    window.cmdOpenCOM->click();
    ports.last->terminal().addRule(
        *parseSimRule(u"0x72:2 inter=5 gap=50 then answer gap=100"_s, nullptr));
    QStringList seenDuringWait;
    QTimer probe;
    probe.setInterval(20);
    connect(&probe, &QTimer::timeout, &window, [&] {
        if (!window.link.isWaiting())
            return;
        if (window.cmdOpenCOM->isEnabled() || window.cmdCloseCOM->isEnabled()
            || window.cmdGetInfoKeyCard->isEnabled() || window.cmdCfgMis[0]->isEnabled()) {
            seenDuringWait << u"enabled: "_s + window.txtStatus->text();
        }
        seenDuringWait << window.txtStatus->text();
    });
    probe.start();
    window.cmdGetInfoKeyCard->click();
    probe.stop();
    QVERIFY(seenDuringWait.contains(window.GetMisResp(5)));
    QVERIFY(!seenDuringWait.join(u'|').contains(u"enabled: "_s));
    QVERIFY(window.cmdGetInfoKeyCard->isEnabled());
}

void TestWindow::closingDuringAWait()
{
    RecordingPorts ports;
    auto *window = new frmConfigPorteval(ports, languageDir());
    window->show();
    window->cmdOpenCOM->click();
    ports.last->terminal().addRule(*parseSimRule(u"0x72:3 silent"_s, nullptr));
    QTimer::singleShot(300, window, [window] { window->close(); });
    QElapsedTimer clock;
    clock.start();
    window->cmdGetInfoKeyCard->click();
    // Sector 3's unanswered wait alone would last 2 s.
    QVERIFY2(clock.elapsed() < 1900, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!window->isVisible());
    QVERIFY(!window->oTooltip);
    QVERIFY(!window->bKeyCardRead);
    delete window;
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
