#include "cli_request.h"

#include "commands/key_file.h"
#include "commands/profile.h"
#include "history/history_filter.h"
#include "platform/port_provider.h"
#include "platform/secret_file.h"
#include "texts/language_list.h"

#include <QCommandLineParser>
#include <QLocale>

using namespace Qt::StringLiterals;

namespace {

// The commands of porteval-cli's own, which need no terminal, before and after the operations'.
struct OwnCommand
{
    CliCommand id;
    QLatin1String name;
    const char *options;
    const char *help;
};
const OwnCommand kOwnCommands[] = {
    { CliCommand::Ports, QLatin1String("ports"), "",
      "the numbered ports, as the window numbers them" },
    { CliCommand::History, QLatin1String("history"), "[since] [failed]",
      "the operations of porteval and porteval-cli so far, oldest first; --port picks ports, "
      "--json gives the records themselves" },
};

const QStringList kCommonOptions = { u"port"_s, u"demo"_s, u"json"_s, u"lang"_s, u"trace"_s };

bool isHexDigits(const QString &text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
    });
}

QString languagesHelp()
{
    QStringList names;
    for (const LanguageEntry &language : kLanguages)
        names << u"%1 %2"_s.arg(language.file).arg(QLatin1String(language.englishName));
    return names.join(u", "_s);
}

QList<QCommandLineOption> cliOptions()
{
    QList<QCommandLineOption> options {
        { u"port"_s,
          u"Port number or COMn, device path (/dev/...), tcp://HOST:PORT or rfc2217://HOST:PORT; "
          "several separated by commas. Default 1."_s,
          u"P"_s },
        { u"demo"_s, u"The built-in simulated terminal behind every port."_s },
        { u"json"_s, u"One JSON object per line on stdout."_s },
        { u"lang"_s,
          u"Language of the status texts only (the terminal's answers, the history's words): %1; "
          "porteval-cli's own messages stay in English. Default: the language of your locale "
          "(%2), else %3."_s.arg(languagesHelp(),
#ifdef Q_OS_WIN
                                 u"the display language"_s,
#else
                                 u"LC_ALL, LC_MESSAGES, LANG"_s,
#endif
                                 QLatin1String(kLanguages[0].englishName)),
          u"N"_s },
        { u"trace"_s, u"The frame trace on stderr."_s },
        { u"o"_s, u"read-keys: write the keys to FILE (readable by you only)."_s, u"FILE"_s },
        { u"keys"_s, u"A key file written by read-keys -o."_s, u"FILE"_s },
        { u"old-key"_s, u"write-master: the old key (12 hex digits)."_s, u"HEX"_s },
        { u"slot"_s, u"write-messages: the message slot, 1 to 8."_s, u"N"_s },
        { u"text"_s, u"write-messages: the message text (up to 20 characters)."_s, u"TEXT"_s },
        { u"set-only"_s, u"Run \"Set Card\" instead of \"Init + Set Card\"."_s },
        { u"profile"_s, u"Slot, text and field values from a profile; options win."_s, u"FILE"_s },
        { u"since"_s, u"history: from DATE on: today, yesterday, 2026-12-05 or 2026-12-05T14:30."_s,
          u"DATE"_s },
        { u"failed"_s, u"history: the operations that failed only."_s },
    };
    // For the shell's completion: what porteval-cli takes (completionWords).
    QCommandLineOption complete(u"complete"_s, u"The words porteval-cli takes."_s, u"WORD"_s);
    complete.setFlags(QCommandLineOption::HiddenFromHelp);
    options.append(complete);
    for (const ConfigFieldName &option : kConfigFieldNames) {
        options.append({ QLatin1String(option.name),
                         u"write-config: the %1 field, as typed in the window."_s.arg(
                             QLatin1String(option.name)),
                         u"TEXT"_s });
    }
    return options;
}

// "keys [set-only]" as --help shows it: "--keys FILE", "[--set-only]".
QStringList synopsis(const char *options)
{
    static const QList<QCommandLineOption> known = cliOptions();
    QStringList words;
    for (QString word : QString::fromLatin1(options).split(u' ', Qt::SkipEmptyParts)) {
        const bool optional = word.startsWith(u'[');
        word.remove(u'[').remove(u']');
        for (const QCommandLineOption &option : known) {
            if (option.names().constFirst() == word && !option.valueName().isEmpty())
                word += u' ' + option.valueName();
        }
        word.prepend(word.section(u' ', 0, 0).size() == 1 ? u"-"_s : u"--"_s);
        words << (optional ? u'[' + word + u']' : word);
    }
    return words;
}

// Words into lines of at most `width` characters, each but the first indented.
QString wrapped(const QStringList &words, qsizetype indent, qsizetype width)
{
    QString lines, line;
    for (const QString &word : words) {
        if (!line.isEmpty() && indent + line.size() + 1 + word.size() > width) {
            lines += line + u'\n' + QString(indent, u' ');
            line.clear();
        }
        line += (line.isEmpty() ? QString() : u" "_s) + word;
    }
    return lines + line;
}

} // namespace

void addCliOptions(QCommandLineParser &parser)
{
    parser.addOptions(cliOptions());
}

QString completionWords(const QString &command)
{
    QStringList lines;
    QStringList takes = kCommonOptions;
    for (const OwnCommand &own : kOwnCommands) {
        lines << u"command "_s + own.name;
        if (command == own.name)
            takes += optionNames(own.options);
    }
    for (const OperationEntry &entry : kOperations) {
        if (!entry.isCommand)
            continue;
        lines << u"command "_s + entry.name;
        if (command == entry.name)
            takes += optionNames(entry.options);
    }
    for (const QString &name : std::as_const(takes))
        lines << u"option "_s + synopsis(name.toLatin1().constData()).constFirst();
    return lines.join(u'\n') + u'\n';
}

QString commandsHelp()
{
    // What each does, then the options it takes in parentheses under it.
    constexpr qsizetype kIndent = 19;
    constexpr qsizetype kWidth = 100;
    const auto command = [](QLatin1String name, const char *help, const char *options) {
        const QStringList words = QString::fromLatin1(help).split(u' ');
        QString text = u"  %1 "_s.arg(name, -16) + wrapped(words, kIndent, kWidth);
        if (*options) {
            QStringList words = synopsis(options);
            words.first().prepend(u'(');
            words.last().append(u')');
            text += u'\n' + QString(kIndent, u' ') + wrapped(words, kIndent, kWidth);
        }
        return text + u'\n';
    };
    const OwnCommand &ports = kOwnCommands[0], &history = kOwnCommands[1];
    QString text = u"Commands:\n"_s + command(ports.name, ports.help, ports.options);
    for (const OperationEntry &entry : kOperations) {
        if (entry.isCommand)
            text += command(entry.name, entry.help, entry.options);
    }
    return text + command(history.name, history.help, history.options);
}

int languageFileOfLocale(const QString &lcAll, const QString &lcMessages, const QString &lang)
{
    for (const QString &value : { lcAll, lcMessages, lang }) {
        if (value.isEmpty())
            continue;
        qsizetype end = 0;
        while (end < value.size() && !QStringView(u"_.@-").contains(value.at(end)))
            ++end;
        const QString language = value.left(end).toLower();
        for (const LanguageEntry &known : kLanguages) {
            if (language == QLatin1String(known.code))
                return known.file;
        }
        return 0;
    }
    return 0;
}

int languageFileOfUser()
{
#ifdef Q_OS_WIN
    return languageFileOfLocale(QLocale::system().uiLanguages().value(0), {}, {});
#else
    return languageFileOfLocale(qEnvironmentVariable("LC_ALL"), qEnvironmentVariable("LC_MESSAGES"),
                                qEnvironmentVariable("LANG"));
#endif
}

std::optional<CliRequest> readCliRequest(const QCommandLineParser &parser, QString *error)
{
    CliRequest request;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1) {
        *error = positional.isEmpty() ? u"no command given"_s
                                      : u"one command at a time: %1"_s.arg(positional.join(u' '));
        return std::nullopt;
    }
    const QString command = positional.first();
    QStringList allowed = kCommonOptions;
    const std::optional<Operation> operation = operationNamed(command);
    const auto own = std::find_if(std::begin(kOwnCommands), std::end(kOwnCommands),
                                  [&command](const OwnCommand &c) { return command == c.name; });
    if (operation && operationEntry(*operation).isCommand) {
        request.operation = *operation;
        allowed += commandOptions(*operation);
    } else if (own != std::end(kOwnCommands)) {
        request.command = own->id;
        allowed += optionNames(own->options);
    } else {
        *error = u"unknown command: %1"_s.arg(command);
        return std::nullopt;
    }
    for (const QString &name : parser.optionNames()) {
        if (!allowed.contains(name)) {
            *error = u"%1 does not take --%2"_s.arg(command, name);
            return std::nullopt;
        }
    }
    const bool runs = request.command == CliCommand::RunOperation;

    request.demo = parser.isSet(u"demo"_s);
    request.json = parser.isSet(u"json"_s);
    request.trace = parser.isSet(u"trace"_s);
    request.portsGiven = parser.isSet(u"port"_s);
    request.ports = request.portsGiven
        ? parser.values(u"port"_s).join(u',').split(u',', Qt::SkipEmptyParts)
        : QStringList { u"1"_s };
    for (QString &port : request.ports) {
        port = port.trimmed();
        // The history's --port picks records by what was typed, whatever that was.
        if (request.command != CliCommand::History && !parsePortText(port)) {
            *error = u"not a port: %1"_s.arg(port);
            return std::nullopt;
        }
    }
    if (request.ports.isEmpty()) {
        *error = u"--port names no port"_s;
        return std::nullopt;
    }
    if (parser.isSet(u"lang"_s)) {
        bool ok = false;
        request.languageFile = parser.value(u"lang"_s).toInt(&ok);
        if (!ok || request.languageFile < 1 || request.languageFile > 5) {
            *error = u"--lang takes 1 to 5"_s;
            return std::nullopt;
        }
    }
    request.outputFile = parser.value(u"o"_s);
    if (!request.outputFile.isEmpty() && request.ports.size() > 1) {
        *error = u"-o writes the keys of one port; several were given"_s;
        return std::nullopt;
    }
    request.buttonIndex = parser.isSet(u"set-only"_s) ? 1 : 0;

    ReaderFieldValues &fields = request.fields;
    if (runs && writesCard(request.operation)) {
        if (!parser.isSet(u"keys"_s)) {
            *error = u"%1 needs --keys FILE (written by read-keys -o)"_s.arg(command);
            return std::nullopt;
        }
        const std::optional<KeyList> keys = readKeyFile(parser.value(u"keys"_s), error);
        if (!keys) {
            *error = parser.value(u"keys"_s) + u": "_s + *error;
            return std::nullopt;
        }
        fields.keys = *keys;
        if (readableByOthers(parser.value(u"keys"_s))) {
            request.warnings << u"warning: %1 is readable by others; its keys open every card of "
                                "the site (chmod 600 %1)"_s.arg(parser.value(u"keys"_s));
        }
    }
    if (parser.isSet(u"since"_s)) {
        const std::optional<QDateTime> since
            = parseSince(parser.value(u"since"_s), QDateTime::currentDateTime());
        if (!since) {
            *error = u"--since takes today, yesterday, a date (2026-12-05) or a date and time "
                     "(2026-12-05T14:30)"_s;
            return std::nullopt;
        }
        request.since = *since;
    }
    request.failedOnly = parser.isSet(u"failed"_s);

    // A profile first, then the options given, which win.
    Profile profile;
    profile.config = fields.config;
    if (parser.isSet(u"profile"_s)) {
        ProfileError why;
        const std::optional<Profile> loaded
            = loadProfile(parser.value(u"profile"_s), profile, &why);
        if (!loaded) {
            *error = parser.value(u"profile"_s) + u": "_s + why.text();
            return std::nullopt;
        }
        profile = *loaded;
    }
    fields.config = profile.config;
    for (const ConfigFieldName &option : kConfigFieldNames) {
        if (parser.isSet(QLatin1String(option.name)))
            fields.config.*option.field = parser.value(QLatin1String(option.name));
    }
    fields.messages = profile.messages;
    fields.message = profile.slot - 1;
    if (parser.isSet(u"slot"_s)) {
        bool ok = false;
        const int slot = parser.value(u"slot"_s).toInt(&ok);
        if (!ok || slot < 1 || slot > 8) {
            *error = u"--slot takes 1 to 8"_s;
            return std::nullopt;
        }
        fields.message = slot - 1;
    }
    QString &message = fields.messages[std::size_t(fields.message)];
    if (parser.isSet(u"text"_s))
        message = parser.value(u"text"_s);
    if (runs && request.operation == Operation::WriteMessages) {
        if (!parser.isSet(u"text"_s) && !parser.isSet(u"profile"_s)) {
            *error = u"write-messages needs --text TEXT or --profile FILE"_s;
            return std::nullopt;
        }
        if (message.size() > kProfileMessageLength) {
            *error = u"the message box holds %1 characters"_s.arg(kProfileMessageLength);
            return std::nullopt;
        }
    }
    if (runs && request.operation == Operation::WriteMaster) {
        fields.oldKey = parser.value(u"old-key"_s);
        if (!parser.isSet(u"old-key"_s) || fields.oldKey.size() > kProfileKeyLength
            || !isHexDigits(fields.oldKey)) {
            *error = u"write-master needs --old-key HEX, up to 12 hexadecimal digits"_s;
            return std::nullopt;
        }
    }
    return request;
}
