#include "cli_request.h"

#include "commands/cards.h"
#include "commands/key_card_query.h"
#include "commands/profile.h"
#include "commands/reader_session.h"
#include "history/history_filter.h"
#include "platform/port_provider.h"
#include "platform/secret_file.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonObject>
#include <QLocale>

using namespace Qt::StringLiterals;

namespace {

// Which options each command takes besides the common ones.
const QHash<QString, QStringList> &commandOptions()
{
    static const QHash<QString, QStringList> options {
        { u"ports"_s, {} },
        { u"find"_s, {} },
        { u"version"_s, {} },
        { u"beep"_s, {} },
        { u"read-keys"_s, { u"o"_s } },
        { u"write-master"_s, { u"keys"_s, u"old-key"_s, u"set-only"_s } },
        { u"write-messages"_s, { u"keys"_s, u"slot"_s, u"text"_s, u"set-only"_s, u"profile"_s } },
        { u"write-config"_s,
          { u"keys"_s, u"set-only"_s, u"profile"_s, u"uart0"_s, u"uart1"_s, u"mode"_s, u"block"_s,
            u"start"_s, u"end"_s, u"refresh"_s, u"backlight"_s } },
        { u"history"_s, { u"since"_s, u"failed"_s } },
    };
    return options;
}

const QStringList kCommonOptions = { u"port"_s, u"demo"_s, u"json"_s, u"lang"_s, u"trace"_s };

bool isHexDigits(const QString &text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
    });
}

} // namespace

void addCliOptions(QCommandLineParser &parser)
{
    parser.addOptions({
        { u"port"_s,
          u"Port number or COMn, device path (/dev/...), tcp://HOST:PORT or rfc2217://HOST:PORT; "
          "several separated by commas. Default 1."_s,
          u"P"_s },
        { u"demo"_s, u"The built-in simulated terminal behind every port."_s },
        { u"json"_s, u"One JSON object per line on stdout."_s },
        { u"lang"_s,
          u"Language of the status texts only (the terminal's answers, the history's words): 1 "
          "Spanish, 2 English, 3 Catalan, 4 French, 5 Portuguese; porteval-cli's own messages "
          "stay in English. Default: the language of your locale (%1), else Spanish."_s.arg(
#ifdef Q_OS_WIN
              u"the display language"_s
#else
              u"LC_ALL, LC_MESSAGES, LANG"_s
#endif
              ),
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
    });
    for (const ConfigFieldName &option : kConfigFieldNames) {
        parser.addOption({ QLatin1String(option.name),
                           u"write-config: the %1 field, as typed in the window."_s.arg(
                               QLatin1String(option.name)),
                           u"TEXT"_s });
    }
}

int languageFileOfLocale(const QString &lcAll, const QString &lcMessages, const QString &lang)
{
    static const char *const byFile[] = { "es", "en", "ca", "fr", "pt" };
    for (const QString &value : { lcAll, lcMessages, lang }) {
        if (value.isEmpty())
            continue;
        qsizetype end = 0;
        while (end < value.size() && !QStringView(u"_.@-").contains(value.at(end)))
            ++end;
        const QString language = value.left(end).toLower();
        for (int i = 0; i < int(std::size(byFile)); ++i) {
            if (language == QLatin1String(byFile[i]))
                return i + 1;
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
    request.command = positional.first();
    if (!commandOptions().contains(request.command)) {
        *error = u"unknown command: %1"_s.arg(request.command);
        return std::nullopt;
    }
    const QStringList allowed = kCommonOptions + commandOptions().value(request.command);
    for (const QString &name : parser.optionNames()) {
        if (!allowed.contains(name)) {
            *error = u"%1 does not take --%2"_s.arg(request.command, name);
            return std::nullopt;
        }
    }

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
        if (request.command != u"history"_s && !parsePortText(port)) {
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

    if (request.command.startsWith(u"write-"_s)) {
        if (!parser.isSet(u"keys"_s)) {
            *error = u"%1 needs --keys FILE (written by read-keys -o)"_s.arg(request.command);
            return std::nullopt;
        }
        const std::optional<KeyList> keys = readKeyFile(parser.value(u"keys"_s), error);
        if (!keys) {
            *error = parser.value(u"keys"_s) + u": "_s + *error;
            return std::nullopt;
        }
        request.keys = *keys;
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
    profile.config = ReaderFieldValues().config;
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
    request.config = profile.config;
    for (const ConfigFieldName &option : kConfigFieldNames) {
        if (parser.isSet(QLatin1String(option.name)))
            request.config.*option.field = parser.value(QLatin1String(option.name));
    }
    request.messages = profile.messages;
    request.message = profile.slot - 1;
    if (parser.isSet(u"slot"_s)) {
        bool ok = false;
        const int slot = parser.value(u"slot"_s).toInt(&ok);
        if (!ok || slot < 1 || slot > 8) {
            *error = u"--slot takes 1 to 8"_s;
            return std::nullopt;
        }
        request.message = slot - 1;
    }
    if (parser.isSet(u"text"_s))
        request.messages[std::size_t(request.message)] = parser.value(u"text"_s);
    if (request.command == u"write-messages"_s) {
        if (!parser.isSet(u"text"_s) && !parser.isSet(u"profile"_s)) {
            *error = u"write-messages needs --text TEXT or --profile FILE"_s;
            return std::nullopt;
        }
        if (request.messages[std::size_t(request.message)].size() > kProfileMessageLength) {
            *error = u"the message box holds %1 characters"_s.arg(kProfileMessageLength);
            return std::nullopt;
        }
    }
    if (request.command == u"write-master"_s) {
        request.oldKey = parser.value(u"old-key"_s);
        if (!parser.isSet(u"old-key"_s) || request.oldKey.size() > kProfileKeyLength
            || !isHexDigits(request.oldKey)) {
            *error = u"write-master needs --old-key HEX, up to 12 hexadecimal digits"_s;
            return std::nullopt;
        }
    }
    return request;
}

void prepareSession(ReaderSession &session, const CliRequest &request)
{
    session.keys = request.keys;
    session.oldKey = request.oldKey;
    session.message = request.message;
    session.messages = request.messages;
    session.config = request.config;
}

quint8 runOperation(ReaderSession &session, const CliRequest &request, QJsonObject &fields)
{
    prepareSession(session, request);
    const QString &command = request.command;
    if (command == u"version"_s || command == u"find"_s) {
        QString version;
        const quint8 result = GetFWVersion(session, &version);
        if (result == 0)
            fields.insert(u"version"_s, version);
        return result;
    }
    if (command == u"beep"_s)
        return BeepSound(session);
    if (command == u"read-keys"_s) {
        const quint8 result = cmdGetInfoKeyCard(session);
        QJsonArray keys;
        for (const QString &key : session.keys)
            keys.append(key);
        fields.insert(u"keys"_s, keys);
        return result;
    }
    // The card operations are the window's, whose keys come from a key card query.
    session.setKeyCardRead();
    if (command == u"write-master"_s)
        return cmdCfgMaster(session, request.buttonIndex);
    if (command == u"write-messages"_s)
        return cmdCfgMis(session, request.buttonIndex);
    return cmdCfgConfig(session, request.buttonIndex);
}

QJsonObject cardFields(const CliRequest &request)
{
    if (request.command == u"write-config"_s)
        return configCardFields(request.config);
    if (request.command == u"write-messages"_s) {
        return messagesCardFields(request.message + 1,
                                  request.messages[std::size_t(request.message)]);
    }
    return {};
}
