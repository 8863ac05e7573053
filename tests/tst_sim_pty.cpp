#include "link/command_set.h"
#include "link/frame.h"
#include "sim/terminal_engine.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray keyQuery(int sector)
{
    return buildCommandFrame(Cmd::GetInfoKeyCard, GetTermID(), QByteArray(1, char(sector)));
}

// The standalone simulator and a serial port on the device it serves.
class SimulatorUnderTest : public QObject
{
public:
    ~SimulatorUnderTest() override
    {
        port.close();
        process.kill();
        process.waitForFinished(2000);
    }

    // Starts the program and opens the device named on the first line of its output.
    bool start(const QStringList &arguments)
    {
        process.start(QStringLiteral(PORTEVAL_TERMINAL_SIM), arguments);
        if (!QTest::qWaitFor([this] { return process.canReadLine(); }, 5000))
            return false;
        const QString device = QString::fromLocal8Bit(process.readLine().trimmed());
        port.setPortName(device);
        port.setBaudRate(38400);
        connect(&port, &QSerialPort::readyRead, this, [this] { received += port.readAll(); });
        connect(&port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
            // A pty whose master is gone reports ReadError without end: close at the first.
            if (e == QSerialPort::ResourceError || e == QSerialPort::ReadError) {
                lineLost = true;
                port.close();
            }
        });
        return device.startsWith(u"/dev/"_s) && port.open(QIODevice::ReadWrite);
    }

    QProcess process;
    QSerialPort port;
    QByteArray received;
    bool lineLost = false;
};

QList<QByteArray> logLines(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QList<QByteArray>();
}

} // namespace

class TestSimPty : public QObject
{
    Q_OBJECT

private slots:
    void answersAndLog();
    void vanish();
    void badArguments_data();
    void badArguments();
};

void TestSimPty::answersAndLog()
{
    QTemporaryDir dir;
    const QString log = dir.filePath(u"frames.json"_s);
    SimulatorUnderTest sim;
    QVERIFY2(sim.start({ u"--log"_s, log }), qPrintable(sim.port.errorString()));

    // Two frames in one write, both answered, byte for byte.
    const QByteArray frames
        = keyQuery(2) + buildCommandFrame(Cmd::GetFWVersion, GetTermID(), "0"_ba);
    QCOMPARE(sim.port.write(frames), frames.size());
    const QByteArray expected
        = buildAnswerFrame(0, "020380A1B2C3"_ba) + buildAnswerFrame(0, "PTV-SIM 1.0"_ba);
    QTRY_COMPARE_WITH_TIMEOUT(sim.received.size(), expected.size(), 3000);
    QCOMPARE(sim.received.toHex(' '), expected.toHex(' '));

    // One line a frame; the first one, less its time, is:
    QTRY_COMPARE(logLines(log).size(), 3); // the last line ends too
    QJsonObject entry = QJsonDocument::fromJson(logLines(log)[0]).object();
    QVERIFY(entry.take(u"t_ms"_s).toDouble(-1) >= 0);
    QCOMPARE(entry,
             (QJsonObject { { u"hex"_s, QString::fromLatin1(keyQuery(2).toHex(' ').toUpper()) },
                            { u"code"_s, 0x72 },
                            { u"name"_s, u"GetInfoKeyCard"_s },
                            { u"data"_s, u"02"_s },
                            { u"check_ok"_s, true } }));
}

void TestSimPty::vanish()
{
    SimulatorUnderTest sim;
    QVERIFY2(sim.start({ u"--on"_s, u"0x72"_s, u"vanish"_s }), qPrintable(sim.port.errorString()));
    sim.port.write(keyQuery(2));
    QTRY_VERIFY_WITH_TIMEOUT(sim.lineLost, 1000);
    const QByteArray whole = buildAnswerFrame(0, "020380A1B2C3"_ba);
    QCOMPARE(sim.received.toHex(' '), whole.left(whole.size() / 2).toHex(' '));
    QTRY_COMPARE_WITH_TIMEOUT(sim.process.state(), QProcess::NotRunning, 2000);
}

void TestSimPty::badArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("complaint");

    QTest::newRow("unknown option") << QStringList { u"--loud"_s } << u"unknown option"_s;
    QTest::newRow("bad rule") << QStringList { u"--on"_s, u"0x72"_s, u"code=300"_s }
                              << u"code=300"_s;
}

void TestSimPty::badArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, complaint);

    QProcess process;
    process.start(QStringLiteral(PORTEVAL_TERMINAL_SIM), arguments);
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardOutput().isEmpty()); // no device announced
    const QString error = QString::fromLocal8Bit(process.readAllStandardError());
    QVERIFY2(error.contains(complaint), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestSimPty)
#include "tst_sim_pty.moc"
