// What the command line was asked to do: the command, the ports, and the fields each port's
// session gets before its operation, read and checked before any port is opened.
#pragma once

#include "commands/operations.h"
#include "commands/reader_fields.h"

#include <QDateTime>
#include <QStringList>

#include <optional>

class QCommandLineParser;

// A command of porteval-cli: an operation of the table on every port given, or one of its own,
// which talk to no terminal.
enum class CliCommand { RunOperation, Ports, History };

struct CliRequest
{
    CliCommand command = CliCommand::RunOperation;
    Operation operation = Operation::Version; // what RunOperation runs
    QStringList ports;
    bool portsGiven = false;
    bool demo = false;
    bool json = false;
    bool trace = false;
    int languageFile = 0; // 0: the window's starting language
    QString outputFile; // read-keys -o
    QStringList warnings; // said on stderr; the command goes on
    QDateTime since; // history --since; invalid: from the first record
    bool failedOnly = false; // history --failed

    ReaderFieldValues fields; // what each port's session starts with
    int buttonIndex = 0; // 0 "Init + Set Card", 1 "Set Card"
};

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitTerminal = 1; // a terminal answered with an error, or did not answer
inline constexpr int kExitUsage = 2; // usage, an unreadable or malformed file, a refused field
inline constexpr int kExitPort = 3; // a port could not be opened

void addCliOptions(QCommandLineParser &parser);
// The commands and what each does, as --help lists them.
QString commandsHelp();
// What the shell's completion asks for with --complete COMMAND: a line "command NAME" for every
// command, and a line "option --NAME [VALUE]" for every option COMMAND takes (the common ones
// when it names no command), VALUE saying what it takes: FILE, P (a port), TEXT...
QString completionWords(const QString &command);

// The language file that the user's locale names, as command-line programs choose their
// language: the first of LC_ALL, LC_MESSAGES and LANG that is set and not empty, by its language
// part ("pt_BR.UTF-8": pt; Windows' "fr-CH": fr), looked up among the languages' codes; 0, the
// window's starting language, for any other (C, POSIX, de...).
int languageFileOfLocale(const QString &lcAll, const QString &lcMessages, const QString &lang);
// The same for this user: those variables, or on Windows the display language.
int languageFileOfUser();

// The request, or nothing with `error` saying why (exit code 2).
std::optional<CliRequest> readCliRequest(const QCommandLineParser &parser, QString *error);
