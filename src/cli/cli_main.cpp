// porteval-cli: the reader operations of the window from the command line, on one terminal or
// many at once, for scripts and production lines. No display needed.
#include "cli/cli_request.h"
#include "cli/history_command.h"
#include "commands/cards.h"
#include "commands/key_file.h"
#include "commands/port_jobs.h"
#include "history/history_writer.h"
#include "platform/system_ports.h"
#include "sim/demo_ports.h"
#include "texts/language_table.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>

#include <cstdio>
#include <memory>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

using namespace Qt::StringLiterals;

namespace {

const char kExitStatus[] = R"(
Exit status:
  0                every port's operation ended with code 0; for find, a terminal answered
  1                a terminal answered with an error, or did not answer
  2                a usage error, an unreadable or malformed file, or a refused field: nothing
                   was sent
  3                a port could not be opened
)";

void printLine(const QString &line)
{
    std::fputs(qUtf8Printable(line + u'\n'), stdout);
    std::fflush(stdout);
}

// With several ports at once, every trace line says which port it belongs to. A plain pointer:
// a thread_local with a destructor corrupts the heap at thread exit in MinGW builds.
thread_local const QString *tracePort = nullptr;
bool severalPorts = false;

void traceHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    QString line = qFormatLogMessage(type, context, message);
    if (severalPorts && tracePort)
        line = *tracePort + u": "_s + line;
    std::fputs(qUtf8Printable(line + u'\n'), stderr);
}

QJsonObject outcomeObject(const PortOutcome &outcome)
{
    QJsonObject object { { u"port"_s, outcome.port },
                         { u"operation"_s, operationEntry(outcome.operation).name },
                         { u"result"_s, outcome.result },
                         { u"text"_s, outcome.text },
                         { u"steps"_s, QJsonArray::fromStringList(outcome.steps) },
                         { u"ms"_s, outcome.ms } };
    for (auto it = outcome.fields.begin(); it != outcome.fields.end(); ++it)
        object.insert(it.key(), it.value());
    return object;
}

void printOutcome(const PortOutcome &outcome, bool json)
{
    if (json) {
        printLine(QString::fromUtf8(
            QJsonDocument(outcomeObject(outcome)).toJson(QJsonDocument::Compact)));
        return;
    }
    printLine(outcome.port + u": "_s + outcome.text);
    if (outcome.fields.contains(u"keyFile"_s)) {
        printLine(outcome.port + u": "_s
                  + u"%1 keys written to %2"_s.arg(kSectors).arg(
                      outcome.fields.value(u"keyFile"_s).toString()));
    }
    const QJsonArray keys = outcome.fields.value(u"keys"_s).toArray();
    if (outcome.result == 0) {
        for (qsizetype i = 0; i < keys.size(); ++i)
            printLine(outcome.port + u": sector %1: %2"_s.arg(i).arg(keys[i].toString()));
    }
}

// read-keys -o: the keys go into the file, readable by the owner only, and the outcome says
// where instead of what. A key that is not 12 hexadecimal digits goes in as the card operations
// send it, and stderr names its sector (never the key). The exit code: 2 when the file cannot be
// written; said on stderr, and the keys are not shown then either.
int moveKeysToFile(PortOutcome &outcome, const QString &path)
{
    const QJsonArray read = outcome.fields.take(u"keys"_s).toArray();
    if (outcome.result != 0)
        return kExitOk;
    KeyList keys;
    QStringList normalized;
    for (int i = 0; i < kSectors; ++i) {
        keys[std::size_t(i)] = keyFileKey(read[i].toString());
        if (keys[std::size_t(i)] != read[i].toString())
            normalized << QString::number(i);
    }
    if (!normalized.isEmpty()) {
        std::fprintf(stderr,
                     "porteval-cli: %s: the terminal answered keys that are not 12 hexadecimal "
                     "digits for sectors %s; written as the card operations send them (zeros in "
                     "front, the last 12 characters kept)\n",
                     qUtf8Printable(path), qUtf8Printable(normalized.join(u", "_s)));
    }
    QString error;
    if (!writeKeyFile(path, keys, &error)) {
        std::fprintf(stderr, "porteval-cli: %s: %s\n", qUtf8Printable(path), qUtf8Printable(error));
        return kExitUsage;
    }
    outcome.fields.insert(u"keyFile"_s, path);
    return kExitOk;
}

int exitCodeOf(const PortOutcome &outcome)
{
    if (!outcome.opened)
        return kExitPort;
    return outcome.result == 0 ? kExitOk : kExitTerminal;
}

// A usage error, said on stderr; with --json also as an object, so that a script reading only
// stdout learns why nothing ran.
int usageError(const QString &text, bool json)
{
    std::fprintf(stderr, "porteval-cli: %s\n", qUtf8Printable(text));
    if (json) {
        const QJsonObject object { { u"exit"_s, kExitUsage }, { u"text"_s, text } };
        printLine(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
    }
    return kExitUsage;
}

std::unique_ptr<PortProvider> newProvider(bool demo)
{
    if (demo)
        return std::make_unique<DemoPorts>();
    return std::make_unique<SystemPorts>();
}

int listPorts(const PortProvider &ports, bool json)
{
    for (const NumberedPort &port : ports.numberedPorts()) {
        if (json) {
            const QJsonObject object { { u"number"_s, port.number },
                                       { u"device"_s,
                                         port.simulated ? u"simulated terminal"_s : port.device },
                                       { u"description"_s, port.description } };
            printLine(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
        } else {
            printLine(
                u"%1  %2  %3"_s.arg(port.number)
                    .arg(port.simulated ? u"simulated terminal"_s : port.device, port.description)
                    .trimmed());
        }
    }
    return kExitOk;
}

// A field out of range stops a configuration card before anything is sent: say so now, for
// every port at once, rather than after opening them.
std::optional<QString> refusedField(const CliRequest &request, const LanguageTable &languages)
{
    if (request.command != CliCommand::RunOperation || request.operation != Operation::WriteConfig)
        return std::nullopt;
    ReaderFieldStore fields;
    fields.values = request.fields;
    const CardRecordOrError built = configCardRecord(fields.values.config, fields);
    if (built.errorMessage == 0)
        return std::nullopt;
    return u"SetCfgConfig: "_s + languages.GetMis(built.errorMessage);
}

} // namespace

int main(int argc, char *argv[])
{
#ifdef Q_OS_WIN
    // Everything goes out as UTF-8, as JSON must; a console is told so, to show accents right.
    SetConsoleOutputCP(CP_UTF8);
#endif
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"porteval-cli"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(PORTEVAL_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Runs porteval's reader operations on one terminal or many at once."_s);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(u"command"_s, u"What to do; see Commands below."_s);
    addCliOptions(parser);
    const bool json = app.arguments().contains(u"--json"_s);
    if (!parser.parse(app.arguments()))
        return usageError(parser.errorText(), json);
    if (parser.isSet(help)) {
        // The usage line names the program as the user calls it, not the installed binary.
        QString text = parser.helpText();
        text.replace(text.indexOf(u' ') + 1, app.arguments().constFirst().size(),
                     u"porteval-cli"_s);
        std::fputs(qUtf8Printable(text + u'\n' + commandsHelp() + QLatin1String(kExitStatus)),
                   stdout);
        return kExitOk;
    }
    if (parser.isSet(version)) {
        printLine(u"porteval-cli "_s + QCoreApplication::applicationVersion());
        return kExitOk;
    }
    if (parser.isSet(u"complete"_s)) {
        std::fputs(qUtf8Printable(completionWords(parser.value(u"complete"_s))), stdout);
        return kExitOk;
    }
    QString error;
    const std::optional<CliRequest> request = readCliRequest(parser, &error);
    if (!request)
        return usageError(error + u" (see --help)"_s, json);
    for (const QString &warning : request->warnings)
        std::fprintf(stderr, "porteval-cli: %s\n", qUtf8Printable(warning));

    // The language files are found as the window finds them: beside the program.
    LanguageTable languages;
    languages.LoadMisFile(QCoreApplication::applicationDirPath());
    if (request->languageFile != 0) {
        const int slot = languages.slotOfFile(request->languageFile);
        if (slot == 0) {
            return usageError(u"no language file %1 beside the program"_s.arg(
                                  LanguageTable::fileName(request->languageFile)),
                              json);
        }
        languages.iIdioma = qint16(slot);
    } else if (const int file = languageFileOfUser(); file != 0) {
        // Without --lang, the locale's language, when its file is there.
        if (const int slot = languages.slotOfFile(file); slot != 0)
            languages.iIdioma = qint16(slot);
    }

    const QString historyPath = historyFilePath();
    switch (request->command) {
    case CliCommand::History:
        return printHistory(historyPath, *request, languages);
    case CliCommand::Ports:
        return listPorts(*newProvider(request->demo), request->json);
    case CliCommand::RunOperation:
        break;
    }
    const Operation operation = request->operation;
    if (const std::optional<QString> refused = refusedField(*request, languages)) {
        if (request->json) {
            const QJsonObject object { { u"operation"_s, operationEntry(operation).name },
                                       { u"result"_s, int(kCardNotBuilt) },
                                       { u"text"_s, *refused } };
            printLine(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
        } else {
            printLine(*refused);
        }
        return kExitUsage;
    }

    QStringList portList = request->ports;
    if (operation == Operation::Find && !request->portsGiven) {
        portList.clear();
        for (const NumberedPort &port : newProvider(request->demo)->numberedPorts())
            portList << QString::number(port.number);
    }
    severalPorts = portList.size() > 1;
    if (request->trace) {
        QLoggingCategory::setFilterRules(u"porteval.link.debug=true"_s);
        qInstallMessageHandler(traceHandler);
    }

    // Every port's operation goes on record as it finishes; the records still waiting for the
    // history's lock when the last port is done are written before the program ends.
    HistoryWriter history(historyPath);
    QObject::connect(&history, &HistoryWriter::failed, &app, [&history](const QString &why) {
        std::fprintf(stderr, "porteval-cli: history not written to %s: %s\n",
                     qUtf8Printable(history.path()), qUtf8Printable(why));
    });
    QObject::connect(&history, &HistoryWriter::notConfirmed, &app, [&history](const QString &why) {
        std::fprintf(stderr,
                     "porteval-cli: history written to %s but not confirmed on the disk: %s\n",
                     qUtf8Printable(history.path()), qUtf8Printable(why));
    });
    ReaderFieldStore given;
    given.values = request->fields;
    const QJsonObject card = recordedCard(operation, given);

    int exitCode = kExitOk;
    int answered = 0;
    PortJobs jobs;
    QObject::connect(&jobs, &PortJobs::finished, &app, [&](int, PortOutcome outcome) {
        history.append(recordOfOutcome(outcome, kProgramCli, card));
        if (!request->outputFile.isEmpty())
            exitCode = std::max(exitCode, moveKeysToFile(outcome, request->outputFile));
        printOutcome(outcome, request->json);
        exitCode = std::max(exitCode, exitCodeOf(outcome));
        answered += outcome.opened && outcome.result == 0;
    });
    QObject::connect(&jobs, &PortJobs::allFinished, &app, [&] {
        if (operation == Operation::Find)
            exitCode = answered > 0 ? kExitOk : kExitTerminal;
        app.exit(exitCode);
    });
    const CliRequest plan = *request;
    const LanguageTable *texts = &languages;
    const bool demo = request->demo;
    jobs.start(portList, [plan, texts, demo](const QString &port) {
        tracePort = &port;
        const std::unique_ptr<PortProvider> own = newProvider(demo);
        PortOutcome outcome
            = runOnPort(*own, *texts, port, plan.operation, plan.fields, plan.buttonIndex);
        tracePort = nullptr;
        return outcome;
    });
    return app.exec();
}
