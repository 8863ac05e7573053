// porteval-cli end to end, as a script runs it: the standalone simulator on pseudo-terminals,
// every frame checked in the simulator's log; and the history it shares with the window.
#include "cli/cli_request.h"
#include "commands/card_write.h"
#include "commands/cards.h"
#include "commands/key_card_query.h"
#include "commands/key_file.h"
#include "commands/port_jobs.h"
#include "history/history_file.h"
#include "history/history_text.h"
#include "host.h"
#include "link/command_set.h"
#include "link/frame.h"
#include "platform/secret_file.h"
#include "platform/system_ports.h"
#include "pty_simulator.h"
#include "sim/demo_ports.h"
#include "temporary_history.h"
#include "texts/message_numbers.h"
#include "window/frame_monitor_model.h"
#include "window/frm_config_porteval.h"
#include "window/profile_actions.h"
#include "window_controls.h"

#include <QJsonArray>
#include <QStandardPaths>

#include <list>

using namespace Qt::StringLiterals;

namespace {

struct CliRun
{
    int exitCode = -1;
    QList<QJsonObject> objects; // the --json lines, in the order printed
    QString output;
    QString errors;
};

CliRun runCli(const QStringList &arguments)
{
    QProcess cli;
    cli.start(QStringLiteral(PORTEVAL_CLI), arguments);
    CliRun run;
    if (!cli.waitForFinished(30000) || cli.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = cli.exitCode();
    // Lines end in CR LF on Windows, as a console program's there do.
    const QByteArray output = cli.readAllStandardOutput().replace("\r\n", "\n");
    run.output = QString::fromUtf8(output);
    run.errors = QString::fromUtf8(cli.readAllStandardError().replace("\r\n", "\n"));
    for (const QByteArray &line : output.split('\n')) {
        if (line.startsWith('{'))
            run.objects << QJsonDocument::fromJson(line).object();
    }
    return run;
}

int exitCodeOf(const QStringList &arguments)
{
    return runCli(arguments).exitCode;
}

QString frameHex(quint8 code, const QByteArray &data)
{
    return QString::fromLatin1(buildCommandFrame(code, GetTermID(), data).toHex(' ').toUpper());
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (PtySimulator().device.isEmpty())
            QSKIP("no pseudo-terminal available here");
    }

    void keysToAFileAndBackIntoACard()
    {
        PtySimulator sim;
        const QString keyFile = m_dir.filePath(u"keys.txt"_s);
        QFile older(keyFile); // one left from before, readable by all
        QVERIFY(older.open(QIODevice::WriteOnly)
                && older.setPermissions(older.permissions() | QFileDevice::ReadOther));
        older.close();
        const CliRun read = runCli({ u"read-keys"_s, u"--port"_s, sim.device, u"-o"_s, keyFile });
        QCOMPARE(read.exitCode, 0);
        // Keys are secrets: the file is its owner's alone (Wine keeps no access lists to check),
        // and the output says only where they went.
        QVERIFY(underWine() || !readableByOthers(keyFile));
        QCOMPARE(read.output.split(u'\n').value(1),
                 sim.device + u": 16 keys written to "_s + keyFile);
        QVERIFY(!read.output.contains(u"A0A1A2A3A4"_s));

        // A key file others can read (saved again by another program) is used, with a warning.
        QByteArray saved;
        QFile again(keyFile);
        QVERIFY(again.open(QIODevice::ReadOnly) && !(saved = again.readAll()).isEmpty());
        again.close();
        QVERIFY(again.remove() && again.open(QIODevice::WriteOnly) && again.write(saved) > 0);
        QVERIFY(again.setPermissions(again.permissions() | QFileDevice::ReadOther));
        again.close();
        const QString text = u"Saldo: 5 \u20ac"_s;
        const CliRun write
            = runCli({ u"write-messages"_s, u"--port"_s, sim.device, u"--keys"_s, keyFile,
                       u"--slot"_s, u"5"_s, u"--text"_s, text, u"--json"_s });
        QCOMPARE(write.exitCode, 0);
        QVERIFY2(write.errors.contains(keyFile + u" is readable by others"_s),
                 qPrintable(write.errors));
        QCOMPARE(write.objects.size(), 1);
        QCOMPARE(write.objects[0][u"steps"_s].toArray().size(), 3);

        // The keys travel back as the window sends them: sectors 1 and 2 swapped for this card.
        const std::array<QString, 16> keys = defaultSimKeys();
        QByteArray download;
        for (int p = 0; p < 16; ++p)
            download += normalizedKey(keys[std::size_t(p == 1 ? 2 : p == 2 ? 1 : p)]);
        QStringList expected { frameHex(Cmd::DownloadKeys, download),
                               frameHex(Cmd::InitCfgCard, cardInitData()) };
        for (int k = 0; k < 3; ++k)
            expected << frameHex(Cmd::SetCfgCard, cardBlockData(messagesCardRecord(5, text), k));
        QCOMPARE(sim.loggedHex().mid(16), expected);

        // A key no key file holds as answered (six digits for sector 2) goes in as the card
        // operations send it, its sector named and never the key; the file writes the card the
        // window would write after reading the same key card.
        PtySimulator odd({ u"--on"_s, u"0x72:2"_s, u"data=433046464545"_s });
        const QString oddFile = m_dir.filePath(u"odd-keys.txt"_s);
        const CliRun odds = runCli({ u"read-keys"_s, u"--port"_s, odd.device, u"-o"_s, oddFile });
        QCOMPARE(odds.exitCode, 0);
        QVERIFY2(odds.errors.contains(u"sectors 2;"_s) && !odds.errors.contains(u"C0FFEE"_s),
                 qPrintable(odds.errors));
        QCOMPARE(exitCodeOf({ u"write-master"_s, u"--port"_s, odd.device, u"--keys"_s, oddFile,
                              u"--old-key"_s, u"0"_s }),
                 0);
        ReaderFieldStore answered;
        std::copy(keys.begin(), keys.end(), answered.values.keys.begin());
        answered.values.keys[2] = u"C0FFEE"_s;
        answered.values.oldKey = u"0"_s;
        QCOMPARE(odd.loggedHex().value(16), frameHex(Cmd::DownloadKeys, keyList(answered, 1)));
    }

    // A key file as --keys reads it: one porteval wrote reads back as written, also with CR LF; a
    // line that is not exactly 12 hexadecimal digits is refused by its number, and nothing is sent.
    void keyFiles_data()
    {
        QTest::addColumn<int>("line"); // the line changed, 1 to 16; 0: none
        QTest::addColumn<QByteArray>("text"); // what it holds then
        QTest::addColumn<bool>("crlf");
        QTest::addColumn<QStringList>("command"); // run with the file when it is refused
        const QStringList master { u"write-master"_s, u"--old-key"_s, u"000000000000"_s };
        const QStringList messages { u"write-messages"_s, u"--slot"_s, u"1"_s, u"--text"_s,
                                     u"Hola"_s };
        const QStringList config { u"write-config"_s };
        QTest::newRow("written by porteval") << 0 << QByteArray() << false << QStringList();
        QTest::newRow("written by porteval, then CR LF")
            << 0 << QByteArray() << true << QStringList();
        QTest::newRow("13 digits") << 3 << QByteArray("A0A1A2A3A4A05") << false << master;
        QTest::newRow("11 digits, CR LF") << 1 << QByteArray("A0A1A2A3A4A") << true << messages;
        QTest::newRow("not hexadecimal") << 16 << QByteArray("A0A1A2A3A4AG") << false << config;
        QTest::newRow("a stray blank") << 5 << QByteArray("A0A1A2A3A4A4 ") << false << config;
        QTest::newRow("an empty line") << 9 << QByteArray() << true << master;
    }

    void keyFiles()
    {
        QFETCH(int, line);
        QFETCH(QByteArray, text);
        QFETCH(bool, crlf);
        QFETCH(QStringList, command);
        KeyList keys = defaultSimKeys();
        keys[7] = keys[7].toLower();
        const QString path = m_dir.filePath(u"table-keys.txt"_s);
        QString error;
        QVERIFY2(writeKeyFile(path, keys, &error), qPrintable(error));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QList<QByteArray> lines = file.readAll().split('\n');
        file.close();
        if (line > 0)
            lines[line - 1] = text;
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(lines.join(crlf ? "\r\n" : "\n"));
        file.close();

        const std::optional<KeyList> read = readKeyFile(path, &error);
        if (line == 0) {
            QVERIFY2(read && *read == keys, qPrintable(error));
            return;
        }
        const QString refusal = u"line %1: not 12 hexadecimal digits"_s.arg(line);
        QVERIFY(!read);
        QCOMPARE(error, refusal);
        PtySimulator sim;
        const CliRun run
            = runCli(command + QStringList { u"--port"_s, sim.device, u"--keys"_s, path });
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.errors.contains(refusal), qPrintable(run.errors));
        QTest::qWait(100);
        QVERIFY(sim.loggedFrames().isEmpty());
    }

    void threePortsOneSilent()
    {
        PtySimulator first;
        PtySimulator silent({ u"--on"_s, u"0x72"_s, u"silent"_s });
        PtySimulator last;
        const CliRun run
            = runCli({ u"read-keys"_s, u"--json"_s, u"--port"_s,
                       QStringList { first.device, silent.device, last.device }.join(u',') });
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.objects.size(), 3);
        // Printed as each port finishes: the silent one waits its 2 s while the others are done,
        // which they could not be if the ports took turns.
        QCOMPARE(run.objects[2][u"port"_s].toString(), silent.device);
        QCOMPARE(run.objects[2][u"result"_s].toInt(), 31);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(run.objects[i][u"result"_s].toInt(), 0);
            QCOMPARE(run.objects[i][u"keys"_s].toArray().at(2).toString(), u"020380A1B2C3"_s);
        }
    }

    // The beep's frame awaits no answer: it must still leave before porteval-cli closes the port.
    void beepLeavesBeforeThePortCloses()
    {
        PtySimulator sim;
        QCOMPARE(exitCodeOf({ u"beep"_s, u"--port"_s, sim.device }), 0);
        const QByteArray beep = QByteArray(1, '\x01') + QByteArray(40, ' ');
        QTRY_COMPARE(sim.loggedHex(), QStringList { frameHex(Cmd::BeepSound, beep) });
    }

    void refusedFieldSendsNothing_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("value");
        QTest::newRow("UART0 beyond a byte") << u"--uart0"_s << u"&H100"_s;
        QTest::newRow("block without a sector key") << u"--block"_s << u"64"_s;
    }

    void refusedFieldSendsNothing()
    {
        QFETCH(QString, option);
        QFETCH(QString, value);
        PtySimulator sim;
        const QString keyFile = m_dir.filePath(u"any-keys.txt"_s);
        QFile file(keyFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("A0A1A2A3A4A5\n").repeated(16));
        file.close();
        const CliRun run = runCli({ u"write-config"_s, u"--port"_s, sim.device, u"--keys"_s,
                                    keyFile, option, value, u"--json"_s });
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.objects.value(0)[u"text"_s].toString().startsWith(u"SetCfgConfig: "_s));
        QTest::qWait(100);
        QVERIFY(sim.loggedFrames().isEmpty());
    }

    void profileFromTheWindow()
    {
        // The window writes a configuration card to its built-in terminal and saves its fields.
        DemoPorts demo;
        frmConfigPorteval window(demo, QStringLiteral(PORTEVAL_LANG_DIR), temporaryHistoryPath());
        const WindowControls c(window);
        c.txtCfgUART1->setText(u"145"_s);
        c.cCfgMode->setEditText(c.cCfgMode->itemText(1));
        c.txtNumBloc->setText(u"&H3F"_s);
        c.txtFinPos->setText(u"20"_s);
        const QString profile = m_dir.filePath(u"site.ini"_s);
        QVERIFY(window.profiles().saveTo(profile, false));
        c.cmdOpenCOM->click();
        c.cmdGetInfoKeyCard->click();
        c.cmdCfgConfig[0]->click();
        QStringList windowFrames;
        for (const ReceivedFrame &frame : demo.lastDevice()->terminal().receivedFrames().mid(16))
            windowFrames << QString::fromLatin1(frame.raw.toHex(' ').toUpper());

        // The command line, with that profile and a terminal holding the same keys, sends the same.
        PtySimulator sim;
        const QString keyFile = m_dir.filePath(u"site-keys.txt"_s);
        QCOMPARE(exitCodeOf({ u"read-keys"_s, u"--port"_s, sim.device, u"-o"_s, keyFile }), 0);
        QCOMPARE(exitCodeOf({ u"write-config"_s, u"--port"_s, sim.device, u"--keys"_s, keyFile,
                              u"--profile"_s, profile }),
                 0);
        QCOMPARE(windowFrames.size(), 5);
        QCOMPARE(sim.loggedHex().mid(16), windowFrames);
    }

    void exitStatus_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("ports"); // "answers", "silent" (a simulator each), "missing"
        QTest::addColumn<int>("exitCode");
        const QString answers = u"answers"_s, silent = u"silent"_s, missing = u"missing"_s;
        QTest::newRow("the port cannot be opened") << u"version"_s << QStringList { missing } << 3;
        QTest::newRow("one answers, one cannot be opened")
            << u"version"_s << QStringList { answers, missing } << 3;
        QTest::newRow("find: no port opens") << u"find"_s << QStringList { missing } << 1;
        QTest::newRow("find: the terminal is silent") << u"find"_s << QStringList { silent } << 1;
        QTest::newRow("find: one of two answers")
            << u"find"_s << QStringList { silent, answers } << 0;
    }

    void exitStatus()
    {
        QFETCH(QString, command);
        QFETCH(QStringList, ports);
        QFETCH(int, exitCode);
        std::list<PtySimulator> simulators;
        QStringList devices;
        for (const QString &port : ports) {
            if (port == u"missing"_s) {
                devices << m_dir.filePath(u"no-such-port"_s);
                continue;
            }
            const QStringList silent { u"--on"_s, u"0xF3"_s, u"silent"_s };
            devices << simulators.emplace_back(port == u"silent"_s ? silent : QStringList()).device;
        }
        QCOMPARE(runCli({ command, u"--port"_s, devices.join(u',') }).exitCode, exitCode);
    }

    void historyOfBothProgramsWithoutKeys()
    {
        const QString path = m_dir.filePath(u"both.jsonl"_s);
        qputenv("PORTEVAL_HISTORY", path.toLocal8Bit()); // for the porteval-cli runs
        QStringList secrets { u"0123456789AB"_s, u"FEDCBA987654"_s };
        QString keysRead;
        {
            DemoPorts demo;
            frmConfigPorteval window(demo, QStringLiteral(PORTEVAL_LANG_DIR), path);
            const WindowControls c(window);
            c.cmdOpenCOM->click();
            c.cmdGetInfoKeyCard->click();
            keysRead = c.txtStatus->text();
            c.txtOldKey->setText(secrets[0]);
            c.cmdCfgMaster[0]->click();
            c.opCfgMis[2]->setChecked(true);
            c.txtCfgMis[2]->setText(u"Planta 2, sala"_s);
            c.cmdCfgMis[0]->click();
            c.cmdCloseCOM->click();
            for (QLineEdit *key : c.txtKey)
                secrets << key->text();
        }
        const QString keyFile = m_dir.filePath(u"both-keys.txt"_s);
        QCOMPARE(exitCodeOf({ u"read-keys"_s, u"--demo"_s, u"-o"_s, keyFile }), 0);
        QCOMPARE(exitCodeOf({ u"write-master"_s, u"--demo"_s, u"--keys"_s, keyFile, u"--old-key"_s,
                              secrets[1] }),
                 0);
        QCOMPARE(exitCodeOf({ u"write-config"_s, u"--demo"_s, u"--keys"_s, keyFile, u"--uart1"_s,
                              u"145"_s, u"--port"_s, u"1,/dev/ttyS9"_s }),
                 0);
        QCOMPARE(exitCodeOf({ u"beep"_s, u"--demo"_s, u"--port"_s, u"0"_s }), 3);

        const CliRun all = runCli({ u"history"_s, u"--json"_s });
        QStringList done;
        for (const QJsonObject &record : all.objects)
            done << record[u"program"_s].toString() + u' ' + record[u"operation"_s].toString();
        QCOMPARE(done,
                 QStringList({ u"window open-port"_s, u"window read-keys"_s,
                               u"window write-master"_s, u"window write-messages"_s,
                               u"window close-port"_s, u"cli read-keys"_s, u"cli write-master"_s,
                               u"cli write-config"_s, u"cli write-config"_s, u"cli beep"_s }));
        const QJsonObject query = all.objects[1];
        QCOMPARE(query[u"device"_s].toString(), u"simulated terminal"_s);
        QCOMPARE(query[u"lines"_s].toArray().size(), 34);
        QCOMPARE(query[u"lines"_s].toArray().last().toString(), keysRead);
        QCOMPARE(all.objects[3][u"card"_s].toObject(),
                 QJsonObject({ { u"slot"_s, 3 }, { u"text"_s, u"Planta 2, sala"_s } }));
        QCOMPARE(all.objects[7][u"card"_s].toObject()[u"uart1"_s].toString(), u"145"_s);
        QCOMPARE(all.objects[7][u"lines"_s].toArray().first().toString(), u"OpenPortCOM: OK"_s);

        const CliRun failed = runCli({ u"history"_s, u"--json"_s, u"--failed"_s });
        QCOMPARE(failed.objects.size(), 1);
        QCOMPARE(failed.objects[0][u"result"_s].toInt(), 255);
        QCOMPARE(failed.objects[0][u"device"_s].toString(), QString());
        const CliRun onePort
            = runCli({ u"history"_s, u"--port"_s, u"/dev/ttyS9"_s, u"--lang"_s, u"2"_s });
        QCOMPARE(onePort.output.count(u'\n'), 1);
        QVERIFY2(onePort.output.contains(
                     u"command line  /dev/ttyS9 (simulated terminal)  Configuration card  0"_s),
                 qPrintable(onePort.output));
        // Without --lang, the language of the locale.
        const QByteArray locale = qgetenv("LC_ALL");
        qputenv("LC_ALL", "en_GB.UTF-8");
        QCOMPARE(runCli({ u"history"_s, u"--port"_s, u"/dev/ttyS9"_s }).output, onePort.output);
        qputenv("LC_ALL", locale);

        // No key in the file, in any form: as typed, in either case, or as frame bytes.
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray history = file.readAll().toUpper();
        file.close(); // Windows renames no file that is open, and the roll-over below renames it
        for (const QString &secret : std::as_const(secrets)) {
            const QByteArray key = secret.toLatin1().toUpper();
            QVERIFY(key.size() == 12);
            QVERIFY2(!history.contains(key)
                         && !history.contains(QByteArray::fromHex(key).toHex(' ').toUpper()),
                     key.constData());
        }
    }

    // Many porteval-cli at once beside this program, after a writer killed mid-write left a torn
    // line and its lock file behind, and with one more killed while it runs: no record of the
    // others is lost or torn, and only the torn line is skipped.
    void historyOfManyWritersAtOnce()
    {
        const QString path = m_dir.filePath(u"many.jsonl"_s);
        qputenv("PORTEVAL_HISTORY", path.toLocal8Bit());
        QProcess gone;
        gone.start(QStringLiteral(PORTEVAL_CLI), { u"--version"_s });
        QVERIFY(gone.waitForStarted());
        const qint64 deadProcess = gone.processId();
        QVERIFY(gone.waitForFinished());
        QFile lock(path + u".lock"_s);
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(deadProcess) + "\nporteval-cli\n"
                   + QSysInfo::machineHostName().toUtf8() + '\n');
        lock.close();
        QFile torn(path);
        QVERIFY(torn.open(QIODevice::WriteOnly));
        torn.write("{\"time\":\"2026-12-06T10:00:00.000Z\",\"program\":\"cli\",\"dev");
        torn.close();

        constexpr int kWriters = 12;
        const QStringList eightPorts { u"beep"_s, u"--demo"_s, u"--port"_s, u"1,2,3,4,5,6,7,8"_s };
        std::vector<std::unique_ptr<QProcess>> writers;
        for (int i = 0; i <= kWriters; ++i) {
            writers.push_back(std::make_unique<QProcess>());
            writers.back()->start(QStringLiteral(PORTEVAL_CLI),
                                  i < kWriters
                                      ? eightPorts
                                      : QStringList { u"read-keys"_s, u"--demo"_s, u"--port"_s,
                                                      u"1,2,3,4,5,6,7,8,9"_s });
        }
        QTest::qWait(150);
        writers.back()->kill();
        writers.back()->waitForFinished(); // not left a zombie, which would count as alive
        const HistoryFile history(path);
        for (int n = 0; n < 20; ++n) {
            HistoryRecord record;
            record.time = QDateTime::currentDateTimeUtc();
            record.operation = u"open-port"_s;
            QString error;
            QCOMPARE(history.append({ record }, std::chrono::seconds(10), &error),
                     HistoryFile::Appended::Yes);
        }
        // A writer may have ended during the wait above, and waitForFinished() says false for one
        // that has.
        for (int i = 0; i < kWriters; ++i) {
            QProcess &writer = *writers[std::size_t(i)];
            QVERIFY(writer.state() == QProcess::NotRunning || writer.waitForFinished(60000));
        }

        const HistoryFile::Contents contents = history.read();
        QCOMPARE(contents.skippedLines, 1);
        QMap<QString, int> counts;
        for (const HistoryRecord &record : contents.records)
            ++counts[record.operation];
        QString errors;
        for (const auto &writer : writers)
            errors += QString::fromUtf8(writer->readAllStandardError());
        QVERIFY2(counts.value(u"beep"_s) == kWriters * 8, qPrintable(errors));
        QCOMPARE(counts.value(u"open-port"_s), 20);
        QVERIFY(counts.value(u"read-keys"_s) <= 9);
    }

    // The language file a locale picks: LC_ALL, LC_MESSAGES, LANG, the first set and not empty.
    void localeLanguage_data()
    {
        QTest::addColumn<QStringList>("variables");
        QTest::addColumn<int>("file");
        QTest::newRow("LANG alone") << QStringList { {}, {}, u"ca_ES.UTF-8"_s } << 3;
        QTest::newRow("LC_ALL first")
            << QStringList { u"fr_FR.UTF-8"_s, u"es_ES"_s, u"en_US"_s } << 4;
        QTest::newRow("LC_ALL empty, LC_MESSAGES")
            << QStringList { u""_s, u"pt_PT@euro"_s, u"es"_s } << 5;
        QTest::newRow("language and modifier") << QStringList { u"es@tradicional"_s, {}, {} } << 1;
        QTest::newRow("Windows' display language") << QStringList { u"en-GB"_s, {}, {} } << 2;
        QTest::newRow("C wins, the default") << QStringList { u"C.UTF-8"_s, {}, u"fr_FR"_s } << 0;
        QTest::newRow("POSIX") << QStringList { {}, u"POSIX"_s, u"es_ES"_s } << 0;
        QTest::newRow("German") << QStringList { {}, {}, u"de_DE.UTF-8"_s } << 0;
        QTest::newRow("three letters, not two") << QStringList { {}, {}, u"ast_ES.UTF-8"_s } << 0;
    }

    void localeLanguage()
    {
        QFETCH(QStringList, variables);
        QFETCH(int, file);
        QCOMPARE(languageFileOfLocale(variables[0], variables[1], variables[2]), file);
    }

    // Every operation of the table runs from the command line, on the demo terminal, ending with 0
    // (the port's two frame every command) and goes on record by its name, which every language
    // file puts in words; a name the table lacks is refused with exit 2.
    void operationTable_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("english"); // its name in words
        const QHash<QString, QString> english {
            { u"open-port"_s, u"Open port"_s },
            { u"close-port"_s, u"Close port"_s },
            { u"find"_s, u"Find the terminal"_s },
            { u"version"_s, u"Firmware version"_s },
            { u"beep"_s, u"Beep"_s },
            { u"read-keys"_s, u"Key card query"_s },
            { u"write-master"_s, u"Master card"_s },
            { u"write-messages"_s, u"Messages card"_s },
            { u"write-config"_s, u"Configuration card"_s },
        };
        for (const OperationEntry &entry : kOperations)
            QTest::newRow(entry.name.data()) << QString(entry.name) << english.value(entry.name);
        QTest::newRow("not in the table") << u"write-card"_s << QString();
    }

    void operationTable()
    {
        QFETCH(QString, name);
        QFETCH(QString, english);
        const QString history = m_dir.filePath(u"table.jsonl"_s);
        QFile::remove(history);
        qputenv("PORTEVAL_HISTORY", history.toLocal8Bit());
        const QString keys = m_dir.filePath(u"table-run-keys.txt"_s);
        QString error;
        QVERIFY(writeKeyFile(keys, defaultSimKeys(), &error));
        const std::optional<Operation> id = operationNamed(name);
        QStringList arguments { name, u"--demo"_s, u"--json"_s };
        if (id && writesCard(*id))
            arguments << u"--keys"_s << keys;
        if (id == Operation::WriteMaster)
            arguments << u"--old-key"_s << u"0"_s;
        if (id == Operation::WriteMessages)
            arguments << u"--text"_s << u"Hola"_s;
        const bool command = !id || operationEntry(*id).isCommand;
        const CliRun run = runCli(command ? arguments : QStringList { u"version"_s, u"--demo"_s });
        if (!id) {
            QCOMPARE(run.exitCode, 2);
            QVERIFY2(run.errors.contains(u"unknown command: "_s + name), qPrintable(run.errors));
            return;
        }
        QCOMPARE(run.exitCode, 0);
        const QList<HistoryRecord> records = HistoryFile(history).read().records;
        QCOMPARE(records.size(), 1);
        if (command) {
            QCOMPARE(records[0].operation, name);
            QCOMPARE(run.objects.value(0)[u"operation"_s].toString(), name);
        } else {
            const QStringList &lines = records[0].lines;
            QVERIFY(
                (id == Operation::OpenPort ? lines.first() : lines.last())
                    .startsWith(id == Operation::OpenPort ? u"OpenPortCOM:"_s : u"ClosePort:"_s));
        }
        LanguageTable languages;
        languages.LoadMisFile(QStringLiteral(PORTEVAL_LANG_DIR));
        for (int file = 1; file <= 5; ++file) {
            const QString text
                = languages.message(languages.slotOfFile(file), operationEntry(*id).textNumber);
            QVERIFY2(!text.isEmpty(), qPrintable(u"file %1"_s.arg(file)));
            if (file == 2) {
                languages.iIdioma = qint16(languages.slotOfFile(file));
                QCOMPARE(operationText(name, languages), english);
            }
        }
    }

    // Tab completion as bash runs it, against the table: every command with the options it takes,
    // files where an option takes a file, the ports porteval-cli lists where one takes a port.
    void completion_data()
    {
        QTest::addColumn<QStringList>("words"); // after porteval-cli; the last is being completed
        QTest::addColumn<QStringList>("expected");
        const QStringList common { u"--port"_s, u"--demo"_s, u"--json"_s, u"--lang"_s,
                                   u"--trace"_s };
        QTest::newRow("a command") << QStringList { u"write-m"_s }
                                   << QStringList { u"write-master"_s, u"write-messages"_s };
        for (const OperationEntry &entry : kOperations) {
            if (!entry.isCommand)
                continue;
            QStringList own = common;
            for (const QString &option : commandOptions(entry.id))
                own << (option.size() == 1 ? u"-"_s : u"--"_s) + option;
            QTest::addRow("%s's options", entry.name.data())
                << QStringList { entry.name, u"-"_s } << own;
        }
        QTest::newRow("a key file") << QStringList { u"write-master"_s, u"--keys"_s, u"comp"_s }
                                    << QStringList { u"completion-keys.txt"_s };
        QTest::newRow("a port") << QStringList { u"--demo"_s, u"version"_s, u"--port"_s, QString() }
                                << QStringList { u"1"_s };
    }

    void completion()
    {
        QFETCH(QStringList, words);
        QFETCH(QStringList, expected);
        const QString bash = QStandardPaths::findExecutable(u"bash"_s);
        if (bash.isEmpty())
            QSKIP("no bash here");
        QFile keys(m_dir.filePath(u"completion-keys.txt"_s));
        QVERIFY(keys.open(QIODevice::WriteOnly));
        keys.close();
        QProcess shell;
        shell.setWorkingDirectory(m_dir.path());
        shell.start(bash,
                    QStringList { u"-c"_s,
                                  u". \"$0\"; COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); "
                                  "_porteval_cli; printf '%s\\n' \"${COMPREPLY[@]}\""_s,
                                  QStringLiteral(PORTEVAL_COMPLETION),
                                  QStringLiteral(PORTEVAL_CLI) }
                        + words);
        QVERIFY(shell.waitForFinished(30000));
        const QString said = QString::fromUtf8(shell.readAllStandardOutput()).trimmed();
        QCOMPARE(said.split(u'\n'), expected);
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
