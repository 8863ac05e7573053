// Network ports from the client's side: the Telnet codec on scripted server bytes, and opening
// a network device on a scripted server that confirms nothing, says nothing, or is not there.
#include "host.h"
#include "platform/network_serial_device.h"
#include "platform/telnet_codec.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QRegularExpression>
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
    void serverBytes_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("data"); // for the program
        QTest::addColumn<QByteArray>("reply"); // back to the server
        QTest::addColumn<int>("comPort");
        QTest::addColumn<QString>("differences"); // "-" while the line is not all confirmed

        const int agreed = int(TelnetCodec::ComPort::Agreed);
        QTest::newRow("ser2net's opening: SGA taken, echo refused, settings once agreed")
            << hex("FFFB03 FFFD03 FFFB01 FFFE01 FFFD00 FFFB00 FFFD2C FFFD03") << QByteArray()
            << hex("FFFD03 FFFB03 FFFE01") + kSettings << agreed << u"-"_s;
        QTest::newRow("confirmations, signature request, doubled FF, NOP, notification amid data")
            << hex("FFFD2C") + kConfirmations
                + hex("02 FFFF 03 FFF1 04 FFFA2C6B00FFF0 FFFA2C64FFF0 05")
            << hex("02 FF 03 04 05") << kSettings + hex("FFFA2C00") + "porteval" + hex("FFF0")
            << agreed << QString();
        QTest::newRow("doubled FF inside a confirmation; other values reported")
            << hex("FFFD2C FFFA2C 65 0000FFFFFFFF FFF0 FFFA2C 66 07 FFF0 FFFA2C 67 03 FFF0"
                   "FFFA2C 68 02 FFF0")
            << QByteArray() << kSettings << agreed
            << u"baud rate 65535, data size 7, parity 3, stop size 2"_s;
        QTest::newRow("unsupported options refused once, their subnegotiation skipped; no COM port")
            << hex("FFFD18 FFFB01 FFFC01 FFFE18 FFFA18 01 FFFF FFF0 41 FFFE2C") << hex("41")
            << hex("FFFC18 FFFE01") << int(TelnetCodec::ComPort::Refused) << u"-"_s;
        QTest::newRow("binary refused: CR NUL is a CR; a subnegotiation cut short by a command")
            << hex("FFFC00 0D00 0D0A 00 FFFA2C6500 FFFD03 41") << hex("0D 0D0A 00 41")
            << hex("FFFB03") << int(TelnetCodec::ComPort::Asked) << u"-"_s;
    }

    void serverBytes()
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

    void programBytes()
    {
        TelnetCodec codec { LineSettings() };
        codec.start();
        QByteArray data;
        // Agreed, then asked to hold back: what we write waits for the resume, 0xFF doubled.
        codec.feed(hex("FFFD2C FFFA2C6CFFF0"), &data);
        QCOMPARE(codec.encode(hex("02 FF 0D")), QByteArray());
        QCOMPARE(codec.feed(hex("FFFA2C6DFFF0"), &data), hex("02 FFFF 0D"));
        // Without binary on our side, a CR goes as CR NUL.
        codec.feed(hex("FFFE00"), &data);
        QCOMPARE(codec.encode(hex("0D 41")), hex("0D00 41"));
    }

    void open_data()
    {
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<int>(
            "server"); // 0 agrees to the COM-port option, 1 says nothing, 2 is absent
        QTest::addColumn<bool>("inWorkerThread");
        QTest::addColumn<QString>("failure"); // why the open fails, in the frame trace too

        QTest::newRow("agreed, nothing confirmed") << u"rfc2217"_s << 0 << false << QString();
        QTest::newRow("agreed, in a worker thread") << u"rfc2217"_s << 0 << true << QString();
        QTest::newRow("no answer")
            << u"rfc2217"_s << 1 << false
            << u"no answer to the COM-port option (RFC 2217): a raw TCP port?"_s;
        QTest::newRow("refused") << u"tcp"_s << 2 << false << u"Connection refused"_s;
    }

    void open()
    {
        QFETCH(QString, scheme);
        QFETCH(int, server);
        QFETCH(bool, inWorkerThread);
        QFETCH(QString, failure);

        QTcpServer peer;
        QVERIFY(peer.listen(QHostAddress::LocalHost));
        const QString url = u"%1://127.0.0.1:%2"_s.arg(scheme).arg(peer.serverPort());
        if (server == 2)
            peer.close();
        QByteArray fromDevice;
        connect(&peer, &QTcpServer::newConnection, this, [&] {
            QTcpSocket *socket = peer.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, this, [&, socket] {
                fromDevice += socket->readAll();
                if (server == 0 && fromDevice == hex("FFFB2C FFFB00 FFFD00"))
                    socket->write(hex("FFFD2C"));
            });
        });
        QLoggingCategory::setFilterRules(u"porteval.link.debug=true"_s);
        if (!failure.isEmpty()) {
            QTest::ignoreMessage(QtDebugMsg,
                                 QRegularExpression(QRegularExpression::escape(
                                     u"-- cannot open %1: %2"_s.arg(url, failure))));
        }
        bool opened = false;
        auto open = [&] {
            opened = NetworkSerialDevice(*parsePortText(url)).open(LineSettings());
        };
        QElapsedTimer clock;
        clock.start();
        const double cpuBefore = processorSeconds();
        if (inWorkerThread) {
            std::unique_ptr<QThread> worker(QThread::create(open));
            worker->start();
            QVERIFY(QTest::qWaitFor([&] { return worker->isFinished(); }, 10000));
        } else {
            open();
        }
        // Agreed: only the half second that confirmations may take. No answer: the open's 3 s.
        // Refused: at once. The upper bounds leave room for a busy machine.
        const qint64 ms = clock.elapsed();
        QVERIFY2(server == 0       ? ms < 2500
                     : server == 1 ? ms >= 2900 && ms < 6000
                                   : ms < 1000,
                 qPrintable(QString::number(ms)));
        QVERIFY(processorSeconds() - cpuBefore < 0.5); // a wait, not a spin
        QCOMPARE(opened, failure.isEmpty());
        if (opened)
            QCOMPARE(fromDevice.mid(9).toHex(' '), kSettings.toHex(' '));
    }
};

QTEST_GUILESS_MAIN(TestTelnet)
#include "tst_telnet.moc"
