// RFC 2217 from the client's side: the Telnet codec on scripted server bytes, and the network
// device against a scripted server that confirms no setting or does not answer at all.
#include "platform/network_serial_device.h"
#include "platform/telnet_codec.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QThread>

using namespace Qt::StringLiterals;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// 38400 baud, 8 data bits, no parity, 1 stop bit, no flow control, DTR off, RTS off.
const QByteArray kSettings = hex("FFFA2C 01 00009600 FFF0  FFFA2C 02 08 FFF0  FFFA2C 03 01 FFF0"
                                 "FFFA2C 04 01 FFF0  FFFA2C 05 01 FFF0  FFFA2C 05 09 FFF0"
                                 "FFFA2C 05 0C FFF0");
const QByteArray kConfirmations = hex("FFFA2C 65 00009600 FFF0  FFFA2C 66 08 FFF0"
                                      "FFFA2C 67 01 FFF0  FFFA2C 68 01 FFF0");

} // namespace

class TestTelnet : public QObject
{
    Q_OBJECT

private slots:
    void serverBytes_data();
    void serverBytes();
    void programBytes();
    void openAgainstAQuietServer_data();
    void openAgainstAQuietServer();
};

void TestTelnet::serverBytes_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("data"); // for the program
    QTest::addColumn<QByteArray>("reply"); // back to the server
    QTest::addColumn<int>("comPort");
    QTest::addColumn<QString>("differences"); // "-" while the line is not all confirmed

    const int asked = int(TelnetCodec::ComPort::Asked);
    const int agreed = int(TelnetCodec::ComPort::Agreed);
    QTest::newRow("ser2net's opening: SGA taken, echo refused, settings once agreed")
        << hex("FFFB03 FFFD03 FFFB01 FFFE01 FFFD00 FFFB00 FFFD2C FFFD03") << QByteArray()
        << hex("FFFD03 FFFB03 FFFE01") + kSettings << agreed << u"-"_s;
    QTest::newRow("confirmations, doubled FF, a NOP and a notification amid the data")
        << hex("FFFD2C") + kConfirmations + hex("02 FFFF 03 FFF1 04 FFFA2C6B00FFF0 05")
        << hex("02 FF 03 04 05") << kSettings << agreed << QString();
    QTest::newRow("doubled FF inside a confirmation; other values reported")
        << hex("FFFD2C FFFA2C 65 0000FFFFFFFF FFF0 FFFA2C 66 07 FFF0 FFFA2C 67 03 FFF0"
               "FFFA2C 68 02 FFF0")
        << QByteArray() << kSettings << agreed
        << u"baud rate 65535, data size 7, parity 3, stop size 2"_s;
    QTest::newRow("unsupported options refused once, their subnegotiation skipped")
        << hex("FFFD18 FFFB01 FFFC01 FFFE18 FFFA18 01 FFFF FFF0 41") << hex("41")
        << hex("FFFC18 FFFE01") << asked << u"-"_s;
    QTest::newRow("COM-port option refused") << hex("FFFE2C") << QByteArray() << QByteArray()
                                             << int(TelnetCodec::ComPort::Refused) << u"-"_s;
    QTest::newRow("binary refused: CR NUL is a CR")
        << hex("FFFC00 0D00 0D0A 00") << hex("0D 0D0A 00") << QByteArray() << asked << u"-"_s;
    QTest::newRow("signature asked for")
        << hex("FFFD2C FFFA2C64FFF0") << QByteArray()
        << kSettings + hex("FFFA2C00") + "porteval" + hex("FFF0") << agreed << u"-"_s;
    QTest::newRow("subnegotiation cut short by a command")
        << hex("FFFA2C6500 FFFD03 41") << hex("41") << hex("FFFB03") << asked << u"-"_s;
}

void TestTelnet::serverBytes()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, reply);
    QFETCH(int, comPort);
    QFETCH(QString, differences);

    // Whole, and cut between every two bytes.
    for (const qsizetype piece : { input.size(), qsizetype(1) }) {
        TelnetCodec codec { LineSettings() };
        QCOMPARE(codec.start(), hex("FFFB2C FFFB00 FFFD00"));
        QByteArray gotData;
        QByteArray gotReply;
        for (qsizetype i = 0; i < input.size(); i += piece)
            gotReply += codec.feed(input.mid(i, piece), &gotData);
        QCOMPARE(gotData.toHex(' '), data.toHex(' '));
        QCOMPARE(gotReply.toHex(' '), reply.toHex(' '));
        QCOMPARE(int(codec.comPort()), comPort);
        QCOMPARE(codec.lineAcknowledged() ? codec.lineDifferences().join(u", "_s) : u"-"_s,
                 differences);
    }
}

void TestTelnet::programBytes()
{
    TelnetCodec codec { LineSettings() };
    codec.start();
    QByteArray data;
    codec.feed(hex("FFFD2C"), &data);
    QCOMPARE(codec.encode(hex("02 FF 0D 03")), hex("02 FFFF 0D 03"));

    // The server may ask us to hold back; what we write meanwhile goes out on its resume.
    QVERIFY(codec.feed(hex("FFFA2C6CFFF0"), &data).isEmpty());
    QCOMPARE(codec.encode(hex("04 FF")), QByteArray());
    QCOMPARE(codec.encode(hex("05")), QByteArray());
    QCOMPARE(codec.feed(hex("FFFA2C6DFFF0"), &data), hex("04 FFFF 05"));

    // Without binary on our side, a CR goes as CR NUL.
    codec.feed(hex("FFFE00"), &data);
    QCOMPARE(codec.encode(hex("0D 41")), hex("0D00 41"));
    QVERIFY(data.isEmpty());
}

void TestTelnet::openAgainstAQuietServer_data()
{
    QTest::addColumn<bool>("inWorkerThread");
    QTest::addColumn<bool>("agrees"); // to the COM-port option; no server confirms a setting
    QTest::newRow("agrees") << false << true;
    QTest::newRow("agrees, open in a worker thread") << true << true;
    QTest::newRow("never answers") << false << false;
}

void TestTelnet::openAgainstAQuietServer()
{
    QFETCH(bool, inWorkerThread);
    QFETCH(bool, agrees);

    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QTcpSocket *peer = nullptr;
    QByteArray fromDevice;
    connect(&server, &QTcpServer::newConnection, this, [&] {
        peer = server.nextPendingConnection();
        connect(peer, &QTcpSocket::readyRead, this, [&] {
            fromDevice += peer->readAll();
            if (agrees && fromDevice == hex("FFFB2C FFFB00 FFFD00"))
                peer->write(hex("FFFD2C"));
        });
    });
    PortRequest request;
    request.scheme = u"rfc2217"_s;
    request.host = u"127.0.0.1"_s;
    request.tcpPort = server.serverPort();

    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<NetworkSerialDevice> device;
    bool opened = false;
    if (inWorkerThread) {
        std::unique_ptr<QThread> worker(QThread::create([&] {
            NetworkSerialDevice threadDevice(request);
            opened = threadDevice.open(LineSettings());
        }));
        worker->start();
        QVERIFY(QTest::qWaitFor([&] { return worker->isFinished(); }, 10000));
    } else {
        device = std::make_unique<NetworkSerialDevice>(request);
        opened = device->open(LineSettings());
    }
    const qint64 elapsed = clock.elapsed();
    QCOMPARE(opened, agrees);
    if (!agrees) {
        // Given up after the open's 3 s; the upper bound leaves room for a busy machine.
        QVERIFY2(elapsed >= 2900 && elapsed < 6000, qPrintable(QString::number(elapsed)));
        QVERIFY2(device->errorString().contains(u"no answer"_s), qPrintable(device->errorString()));
        return;
    }
    // Only the confirmation wait of half a second, and room for a busy machine.
    QVERIFY2(elapsed < 2500, qPrintable(QString::number(elapsed)));
    QCOMPARE(fromDevice.mid(9).toHex(' '), kSettings.toHex(' '));
    if (!device)
        return;

    device->write(hex("02 FF 03"));
    QTRY_COMPARE(fromDevice.mid(9 + kSettings.size()), hex("02 FFFF 03"));
    peer->write(hex("41 FFFF FFF1 42"));
    QByteArray received;
    QTRY_COMPARE(received += device->takeReceived(), hex("41 FF 42"));

    QSignalSpy failed(device.get(), &SerialDevice::failed);
    peer->close();
    QVERIFY(failed.wait(5000));
    QVERIFY(!device->isOpen());
}

QTEST_GUILESS_MAIN(TestTelnet)
#include "tst_telnet.moc"
