// What the command line was asked to do: the command, the ports, and the fields each port's
// session gets before its operation, read and checked before any port is opened.
#pragma once

#include "cli/key_file.h"
#include "commands/reader_window.h"

#include <QDateTime>
#include <QStringList>

#include <array>
#include <optional>

class LanguageTable;
class QCommandLineParser;
class ReaderSession;
class QJsonObject;

struct CliRequest
{
    QString command;
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

    KeyList keys {};
    QString oldKey;
    int message = 0; // index of the message slot, 0 to 7
    std::array<QString, 8> messages {};
    ConfigFieldTexts config;
    int buttonIndex = 0; // 0 "Init + Set Card", 1 "Set Card"
};

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitTerminal = 1; // a terminal answered with an error, or did not answer
inline constexpr int kExitUsage = 2; // usage, an unreadable or malformed file, a refused field
inline constexpr int kExitPort = 3; // a port could not be opened

void addCliOptions(QCommandLineParser &parser);

// The language file that the user's locale names, as command-line programs choose their
// language: the first of LC_ALL, LC_MESSAGES and LANG that is set and not empty, by its language
// part ("pt_BR.UTF-8": pt; Windows' "fr-CH": fr). es, en, ca, fr and pt are files 1 to 5; 0, the
// window's starting language, for any other (C, POSIX, de...).
int languageFileOfLocale(const QString &lcAll, const QString &lcMessages, const QString &lang);
// The same for this user: those variables, or on Windows the display language.
int languageFileOfUser();

// The request, or nothing with `error` saying why (exit code 2).
std::optional<CliRequest> readCliRequest(const QCommandLineParser &parser, QString *error);

// The operation's name as the output gives it, and the operation itself on a session whose
// fields `prepare` has filled.
void prepareSession(ReaderSession &session, const CliRequest &request);
quint8 runOperation(ReaderSession &session, const CliRequest &request, QJsonObject &fields);

// What the request's card is given, as the history keeps it; nothing for other commands.
QJsonObject cardFields(const CliRequest &request);
