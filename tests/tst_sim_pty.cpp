#include "link/answer_parser.h"
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
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(2000);
        }
    }

    // Starts the program and reads its first line; false when it does not come.
    bool start(const QStringList &arguments)
    {
        process.start(QStringLiteral(PORTEVAL_TERMINAL_SIM), arguments);
        if (!process.waitForStarted(5000))
            return false;
        if (!QTest::qWaitFor([this] { return process.canReadLine(); }, 5000))
            return false;
        device = QString::fromLocal8Bit(process.readLine().trimmed());
        return device.startsWith(u"/dev/"_s);
    }

    bool openPort()
    {
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
        return port.open(QIODevice::ReadWrite);
    }

    QList<ParsedAnswer> answers() const
    {
        FrameAssembler assembler;
        QList<ParsedAnswer> result;
        for (char byte : received) {
            if (const auto answer = assembler.feed(byte); answer && answer->accepted())
                result.append(*answer);
        }
        return result;
    }

    QProcess process;
    QString device;
    QSerialPort port;
    QByteArray received;
    bool lineLost = false;
};

QList<QByteArray> logLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.isEmpty())
            lines.append(line);
    }
    return lines;
}

} // namespace

class TestSimPty : public QObject
{
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
    void reopen();
    void vanish();
    void terminate();
    void badArguments_data();
    void badArguments();
};

void TestSimPty::answers_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QList<QByteArray>>("frames"); // written at once
    QTest::addColumn<QList<int>>("codes");
    QTest::addColumn<QList<QByteArray>>("data");

    QTest::newRow("key of sector 2") << QStringList() << QList<QByteArray> { keyQuery(2) }
                                     << QList<int> { 0 } << QList<QByteArray> { "020380A1B2C3"_ba };
    QTest::newRow("two frames in one write")
        << QStringList()
        << QList<QByteArray> { keyQuery(2),
                               buildCommandFrame(Cmd::GetFWVersion, GetTermID(), "0"_ba) }
        << QList<int> { 0, 0 } << QList<QByteArray> { "020380A1B2C3"_ba, "PTV-SIM 1.0"_ba };
    QTest::newRow("length field low byte 02")
        << QStringList()
        << QList<QByteArray> { buildCommandFrame(0x55, GetTermID(), QByteArray(0x102 - 7, 'd')) }
        << QList<int> { 'E' } << QList<QByteArray> { QByteArray() };
    QTest::newRow("key set on the command line")
        << QStringList { u"--key"_s, u"7=00112233aabb"_s } << QList<QByteArray> { keyQuery(7) }
        << QList<int> { 0 } << QList<QByteArray> { "00112233AABB"_ba };
    QTest::newRow("rule, paced") << QStringList { u"--baud"_s,  u"38400"_s, u"--on"_s,  u"0x72:3"_s,
                                                  u"inter=5"_s, u"then"_s,  u"code=E"_s }
                                 << QList<QByteArray> { keyQuery(3), keyQuery(4) }
                                 << QList<int> { 5, 'E', 0 }
                                 << QList<QByteArray> { QByteArray(), QByteArray(),
                                                        "A0A1A2A3A4A4"_ba };
}

void TestSimPty::answers()
{
    QFETCH(QStringList, arguments);
    QFETCH(QList<QByteArray>, frames);
    QFETCH(QList<int>, codes);
    QFETCH(QList<QByteArray>, data);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString log = dir.filePath(u"frames.json"_s);
    SimulatorUnderTest sim;
    QVERIFY2(sim.start(arguments + QStringList { u"--log"_s, log }),
             sim.process.readAllStandardError().constData());
    QVERIFY2(sim.openPort(), qPrintable(sim.port.errorString()));

    QByteArray all;
    for (const QByteArray &frame : frames)
        all += frame;
    QCOMPARE(sim.port.write(all), all.size());
    QTRY_COMPARE_WITH_TIMEOUT(sim.answers().size(), codes.size(), 3000);
    const QList<ParsedAnswer> answers = sim.answers();
    for (qsizetype i = 0; i < codes.size(); ++i) {
        QCOMPARE(answers[i].code, quint8(codes[i]));
        QCOMPARE(answers[i].data, data[i]);
    }

    QTRY_COMPARE(logLines(log).size(), frames.size());
    const QList<QByteArray> lines = logLines(log);
    for (qsizetype i = 0; i < frames.size(); ++i) {
        QJsonParseError error;
        const QJsonObject entry = QJsonDocument::fromJson(lines[i], &error).object();
        QVERIFY2(error.error == QJsonParseError::NoError, lines[i].constData());
        const quint8 code = quint8(frames[i][1]);
        const TerminalCommand *known = findCommand(code);
        QVERIFY(entry.value(u"t_ms"_s).isDouble());
        QVERIFY(entry.value(u"t_ms"_s).toDouble() >= 0);
        QCOMPARE(entry.value(u"hex"_s).toString(),
                 QString::fromLatin1(frames[i].toHex(' ').toUpper()));
        QCOMPARE(entry.value(u"code"_s).toInt(), int(code));
        if (known)
            QCOMPARE(entry.value(u"name"_s).toString(), QLatin1String(known->name));
        else
            QVERIFY(entry.value(u"name"_s).isNull());
        QCOMPARE(entry.value(u"data"_s).toString(),
                 QString::fromLatin1(
                     unescapeBytes(frames[i].mid(8, frames[i].size() - 11)).toHex().toUpper()));
        QCOMPARE(entry.value(u"check_ok"_s).toBool(), true);
    }
}

// The program closing the device is not the end: it can open it again.
void TestSimPty::reopen()
{
    SimulatorUnderTest sim;
    QVERIFY(sim.start({}));
    for (int round = 0; round < 2; ++round) {
        sim.received.clear();
        QVERIFY2(sim.openPort(), qPrintable(sim.port.errorString()));
        sim.port.write(keyQuery(round));
        QTRY_COMPARE_WITH_TIMEOUT(sim.answers().size(), 1, 3000);
        QCOMPARE(sim.answers()[0].data, defaultSimKeys()[round].toLatin1());
        sim.port.close();
        sim.port.disconnect(&sim);
    }
    QCOMPARE(sim.process.state(), QProcess::Running);
}

void TestSimPty::vanish()
{
    SimulatorUnderTest sim;
    QVERIFY(sim.start({ u"--on"_s, u"0x72"_s, u"vanish"_s }));
    QVERIFY2(sim.openPort(), qPrintable(sim.port.errorString()));
    sim.port.write(keyQuery(2));
    QTRY_VERIFY_WITH_TIMEOUT(sim.lineLost, 1000);
    QVERIFY(!sim.port.isOpen());
    const QByteArray whole = buildAnswerFrame(0, "020380A1B2C3"_ba);
    QCOMPARE(sim.received.toHex(' '), whole.left(whole.size() / 2).toHex(' '));
    QTRY_COMPARE_WITH_TIMEOUT(sim.process.state(), QProcess::NotRunning, 2000);
    QCOMPARE(sim.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process.exitCode(), 0);
}

void TestSimPty::terminate()
{
    QTemporaryDir dir;
    const QString log = dir.filePath(u"frames.json"_s);
    SimulatorUnderTest sim;
    QVERIFY(sim.start({ u"--log"_s, log }));
    QVERIFY(sim.openPort());
    QByteArray bad = keyQuery(1);
    bad[bad.size() - 2] = char(bad[bad.size() - 2] ^ 1);
    sim.port.write(bad);
    QTRY_COMPARE(logLines(log).size(), 1);
    const QJsonObject entry = QJsonDocument::fromJson(logLines(log)[0]).object();
    QCOMPARE(entry.value(u"check_ok"_s).toBool(true), false);
    QCOMPARE(entry.value(u"fault"_s).toString(), u"check field"_s);

    sim.process.terminate();
    QVERIFY(sim.process.waitForFinished(3000));
    QCOMPARE(sim.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process.exitCode(), 0);
    QVERIFY(sim.received.isEmpty()); // a bad frame is not answered
}

void TestSimPty::badArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("complaint");

    QTest::newRow("unknown option") << QStringList { u"--loud"_s } << u"unknown option"_s;
    QTest::newRow("bad rule") << QStringList { u"--on"_s, u"0x72"_s, u"code=300"_s }
                              << u"code=300"_s;
    QTest::newRow("log in a missing folder")
        << QStringList { u"--log"_s, u"/nonexistent/dir/log.json"_s } << u"/nonexistent"_s;
}

void TestSimPty::badArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, complaint);

    QProcess process;
    process.start(QStringLiteral(PORTEVAL_TERMINAL_SIM), arguments);
    QVERIFY(process.waitForFinished(5000));
    QVERIFY(process.exitCode() != 0);
    QVERIFY(process.readAllStandardOutput().isEmpty()); // no device announced
    const QString error = QString::fromLocal8Bit(process.readAllStandardError());
    QVERIFY2(error.contains(complaint), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestSimPty)
#include "tst_sim_pty.moc"
