#include "sim_rules.h"

#include "link/calc_crc16.h"
#include "link/command_set.h"
#include "platform/port_provider.h"

using namespace Qt::StringLiterals;

std::array<QString, kSimSectors> defaultSimKeys()
{
    std::array<QString, kSimSectors> keys;
    for (int i = 0; i < kSimSectors; ++i)
        keys[i] = u"A0A1A2A3A4"_s + HexByte(quint8(0xA0 + i));
    keys[2] = u"020380A1B2C3"_s;
    return keys;
}

bool operator==(const SimStep &a, const SimStep &b)
{
    return a.kind == b.kind && a.code == b.code && a.data == b.data && a.givenData == b.givenData
        && a.fault == b.fault && a.chunks == b.chunks && a.chunkGapMs == b.chunkGapMs
        && a.gapMs == b.gapMs;
}

bool operator==(const SimRule &a, const SimRule &b)
{
    return a.code == b.code && a.selector == b.selector && a.firstMatch == b.firstMatch
        && a.lastMatch == b.lastMatch && a.steps == b.steps;
}

bool SimRule::matchesCommand(quint8 commandCode, const QByteArray &data) const
{
    if (commandCode != code)
        return false;
    if (!selector)
        return true;
    const int at = code == Cmd::SetCfgCard ? 1 : 0;
    return data.size() > at && quint8(data[at]) == *selector;
}

bool SimRule::coversCount(int count) const
{
    return count >= firstMatch && (lastMatch == 0 || count <= lastMatch);
}

namespace {

constexpr int kMaxMs = 600000;
constexpr int kMaxChunks = 1000;

// Decimal, 0x-prefixed hex, or (when `letters`) one letter standing for its character code,
// as in code=E.
std::optional<int> parseNumber(QStringView text, int min, int max, bool letters = false)
{
    if (letters && text.size() == 1 && text[0].isLetter() && text[0].unicode() < 128)
        return int(text[0].unicode());
    bool ok = false;
    int value = 0;
    if (text.startsWith(u"0x", Qt::CaseInsensitive))
        value = text.mid(2).toInt(&ok, 16);
    else
        value = text.toInt(&ok, 10);
    if (!ok || value < min || value > max)
        return std::nullopt;
    return value;
}

std::optional<QByteArray> parseHexBytes(QStringView text)
{
    if (text.isEmpty() || text.size() % 2 != 0)
        return std::nullopt;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (!((u >= '0' && u <= '9') || (u >= 'A' && u <= 'F') || (u >= 'a' && u <= 'f')))
            return std::nullopt;
    }
    return QByteArray::fromHex(text.toLatin1());
}

class RuleParser
{
public:
    explicit RuleParser(const QString &text, QString *error)
        : m_text(text.simplified())
        , m_error(error)
    { }

    std::optional<SimRule> parse()
    {
        const QStringList words = m_text.split(u' ', Qt::SkipEmptyParts);
        if (words.isEmpty())
            return fail(u"empty rule"_s);
        SimRule rule;
        if (!parseMatch(words.front(), rule))
            return std::nullopt;
        QStringList stepWords;
        for (qsizetype i = 1; i <= words.size(); ++i) {
            if (i < words.size() && words[i] != u"then"_s) {
                stepWords.append(words[i]);
                continue;
            }
            if (stepWords.isEmpty()) {
                return fail(i == 1 ? u"no action after the command"_s
                                   : u"\"then\" without an action on both sides"_s);
            }
            if (!parseStep(stepWords, rule.steps))
                return std::nullopt;
            stepWords.clear();
        }
        return rule;
    }

private:
    std::nullopt_t fail(const QString &what)
    {
        if (m_error)
            *m_error = u"rule \"%1\": %2"_s.arg(m_text, what);
        return std::nullopt;
    }

    bool parseMatch(const QString &word, SimRule &rule)
    {
        QStringView rest(word);
        const qsizetype hash = rest.indexOf(u'#');
        QStringView range;
        if (hash >= 0) {
            range = rest.mid(hash + 1);
            rest = rest.left(hash);
        }
        const qsizetype colon = rest.indexOf(u':');
        QStringView codeText = colon >= 0 ? rest.left(colon) : rest;
        const auto code = parseNumber(codeText, 0, 255);
        if (!code) {
            fail(u"command code \"%1\" is not a number from 0 to 255"_s.arg(codeText));
            return false;
        }
        rule.code = quint8(*code);
        if (colon >= 0) {
            const QStringView selectorText = rest.mid(colon + 1);
            const auto selector = parseNumber(selectorText, 0, 255);
            if (!selector) {
                fail(
                    u"selector \"%1\" after ':' is not a number from 0 to 255"_s.arg(selectorText));
                return false;
            }
            rule.selector = quint8(*selector);
        }
        if (hash >= 0 && !parseRange(range, rule))
            return false;
        return true;
    }

    // "#N" the N-th match only, "#A-B" the A-th to the B-th, "#A-" from the A-th on.
    bool parseRange(QStringView text, SimRule &rule)
    {
        const qsizetype dash = text.indexOf(u'-');
        const QStringView firstText = dash >= 0 ? text.left(dash) : text;
        const auto first = parseNumber(firstText, 1, 1 << 30);
        std::optional<int> last = first;
        if (dash >= 0) {
            const QStringView lastText = text.mid(dash + 1);
            last = lastText.isEmpty() ? std::optional<int>(0) : parseNumber(lastText, 1, 1 << 30);
        }
        if (!first || !last || (*last != 0 && *last < *first)) {
            fail(u"\"#%1\" is not a count N, a range A-B with 1 <= A <= B, or A-"_s.arg(text));
            return false;
        }
        rule.firstMatch = *first;
        rule.lastMatch = *last;
        return true;
    }

    bool parseStep(const QStringList &words, QList<SimStep> &steps)
    {
        SimStep step;
        QString kindWord; // the word that chose what is sent, for conflicts
        QString faultWord;
        QString dataWord;
        QList<int> interCodes;
        bool splitGiven = false;
        bool gapGiven = false;
        bool chunkGapGiven = false;

        auto chooseKind = [&](const QString &word) {
            if (!kindWord.isEmpty()) {
                fail(u"\"%1\" and \"%2\" in one step: separate them with \"then\""_s.arg(kindWord,
                                                                                         word));
                return false;
            }
            kindWord = word;
            return true;
        };
        auto once = [&](bool &given, const QString &word) {
            if (given) {
                fail(u"\"%1\" given twice in one step"_s.arg(word));
                return false;
            }
            given = true;
            return true;
        };
        auto msValue = [&](const QString &word, QStringView value) -> std::optional<int> {
            const auto ms = parseNumber(value, 0, kMaxMs);
            if (!ms)
                fail(u"\"%1\": milliseconds from 0 to %2 expected"_s.arg(word).arg(kMaxMs));
            return ms;
        };

        static const QStringList faultWords { u"badcrc"_s, u"badheader"_s, u"longlen"_s,
                                              u"raw03"_s,  u"rawcode"_s,   u"vanish"_s };

        for (const QString &word : words) {
            const qsizetype eq = word.indexOf(u'=');
            const QString key = eq >= 0 ? word.left(eq) : word;
            const QStringView value = eq >= 0 ? QStringView(word).mid(eq + 1) : QStringView();
            if (eq >= 0 && value.isEmpty()) {
                fail(u"\"%1\" has no value"_s.arg(word));
                return false;
            }
            if (word == u"answer"_s || word == u"silent"_s || word == u"wait"_s) {
                if (!chooseKind(word))
                    return false;
                if (word == u"silent"_s)
                    step.kind = SimStep::Kind::Silent;
                else if (word == u"wait"_s)
                    step.code = Resp::Waiting;
            } else if (key == u"code"_s && eq >= 0) {
                if (!chooseKind(word))
                    return false;
                const auto code = parseNumber(value, 0, 255, true);
                if (!code) {
                    fail(u"\"%1\": a code from 0 to 255 or a letter expected"_s.arg(word));
                    return false;
                }
                step.code = quint8(*code);
            } else if (key == u"inter"_s && eq >= 0) {
                if (!chooseKind(word))
                    return false;
                for (QStringView item : value.split(u',')) {
                    const auto code = parseNumber(item, 1, Resp::Waiting);
                    if (!code) {
                        fail(u"\"%1\": intermediate codes are 1 to 30, separated by commas"_s.arg(
                            word));
                        return false;
                    }
                    interCodes.append(*code);
                }
            } else if (key == u"data"_s) {
                if (!dataWord.isEmpty()) {
                    fail(u"\"%1\" and \"%2\" in one step"_s.arg(dataWord, word));
                    return false;
                }
                dataWord = word;
                if (eq < 0) {
                    step.data = SimStep::Data::Own;
                } else {
                    const auto bytes = parseHexBytes(value);
                    if (!bytes) {
                        fail(u"\"%1\": pairs of hex digits expected"_s.arg(word));
                        return false;
                    }
                    step.data = SimStep::Data::Given;
                    step.givenData = *bytes;
                }
            } else if (word == u"nodata"_s) {
                if (!dataWord.isEmpty()) {
                    fail(u"\"%1\" and \"%2\" in one step"_s.arg(dataWord, word));
                    return false;
                }
                dataWord = word;
                step.data = SimStep::Data::None;
            } else if (faultWords.contains(word)) {
                if (!faultWord.isEmpty()) {
                    fail(u"\"%1\" and \"%2\" in one step: one damage per frame"_s.arg(faultWord,
                                                                                      word));
                    return false;
                }
                faultWord = word;
                step.fault = SimStep::Fault(faultWords.indexOf(word) + 1);
            } else if (key == u"split"_s && eq >= 0) {
                if (!once(splitGiven, key))
                    return false;
                const auto chunks = parseNumber(value, 1, kMaxChunks);
                if (!chunks) {
                    fail(u"\"%1\": a number of pieces from 1 to %2 expected"_s.arg(word).arg(
                        kMaxChunks));
                    return false;
                }
                step.chunks = *chunks;
            } else if (key == u"chunkgap"_s && eq >= 0) {
                if (!once(chunkGapGiven, key))
                    return false;
                const auto ms = msValue(word, value);
                if (!ms)
                    return false;
                step.chunkGapMs = *ms;
            } else if (key == u"gap"_s && eq >= 0) {
                if (!once(gapGiven, key))
                    return false;
                const auto ms = msValue(word, value);
                if (!ms)
                    return false;
                step.gapMs = *ms;
            } else {
                fail(u"unknown word \"%1\""_s.arg(word));
                return false;
            }
        }

        if (step.kind == SimStep::Kind::Silent
            && (!faultWord.isEmpty() || !dataWord.isEmpty() || splitGiven || chunkGapGiven)) {
            fail(u"\"silent\" sends nothing: it takes only gap="_s);
            return false;
        }
        if (!interCodes.isEmpty()) {
            if (!faultWord.isEmpty() || !dataWord.isEmpty() || splitGiven || chunkGapGiven) {
                fail(u"\"inter=\" takes only gap=; damage the answer in a step of its own"_s);
                return false;
            }
            for (int code : interCodes) {
                SimStep inter;
                inter.code = quint8(code);
                inter.gapMs = step.gapMs;
                steps.append(inter);
            }
            return true;
        }
        steps.append(step);
        return true;
    }

    QString m_text;
    QString *m_error;
};

} // namespace

std::optional<SimRule> parseSimRule(const QString &text, QString *error)
{
    return RuleParser(text, error).parse();
}

std::optional<SimChaos> parseSimChaos(const QString &text, QString *error)
{
    SimChaos chaos;
    chaos.enabled = true;
    auto fail = [&](const QString &what) {
        if (error)
            *error = u"chaos \"%1\": %2"_s.arg(text, what);
        return std::nullopt;
    };
    for (QStringView item : QStringView(text).split(u',', Qt::SkipEmptyParts)) {
        const qsizetype eq = item.indexOf(u'=');
        if (eq < 0)
            return fail(u"\"%1\" is not key=value"_s.arg(item));
        const QStringView key = item.left(eq);
        const QStringView value = item.mid(eq + 1);
        if (key == u"seed") {
            bool ok = false;
            chaos.seed = value.toUInt(&ok);
            if (!ok)
                return fail(u"seed \"%1\" is not a whole number"_s.arg(value));
            continue;
        }
        double *probability = key == u"silent" ? &chaos.silent
            : key == u"corrupt"                ? &chaos.corrupt
            : key == u"split"                  ? &chaos.split
            : key == u"inter"                  ? &chaos.inter
                                               : nullptr;
        if (!probability)
            return fail(u"unknown key \"%1\" (seed, silent, corrupt, split, inter)"_s.arg(key));
        bool ok = false;
        *probability = value.toDouble(&ok);
        // Written so that "nan", which reads as a number, is refused too.
        if (!ok || !(*probability >= 0 && *probability <= 1))
            return fail(u"%1 \"%2\" is not a probability from 0 to 1"_s.arg(key, value));
    }
    if (chaos.silent + chaos.corrupt > 1)
        return fail(u"silent and corrupt together exceed 1"_s);
    return chaos;
}

std::optional<SimCommandLine> parseSimArguments(const QStringList &arguments, QString *error)
{
    SimCommandLine result;
    auto fail = [&](const QString &what) {
        if (error)
            *error = what;
        return std::nullopt;
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &option = arguments[i];
        if (option == u"--junk"_s) {
            result.junk = true;
            continue;
        }
        if (option == u"--help"_s || option == u"-h"_s) {
            result.help = true;
            continue;
        }
        if (option == u"--version"_s) {
            result.version = true;
            continue;
        }
        if (option == u"--on"_s) {
            // The rule runs up to the next option, so that it needs no quotes.
            QStringList words;
            while (i + 1 < arguments.size() && !arguments[i + 1].startsWith(u"--"_s))
                words.append(arguments[++i]);
            if (words.isEmpty())
                return fail(u"--on needs a rule"_s);
            QString ruleError;
            const auto rule = parseSimRule(words.join(u' '), &ruleError);
            if (!rule)
                return fail(ruleError);
            result.options.rules.append(*rule);
            continue;
        }
        static const QStringList valued {
            u"--baud"_s,     u"--delay"_s, u"--key"_s,  u"--chaos"_s,
            u"--firmware"_s, u"--log"_s,   u"--port"_s, u"--listen"_s
        };
        if (!valued.contains(option))
            return fail(u"unknown option \"%1\" (see --help)"_s.arg(option));
        if (i + 1 >= arguments.size())
            return fail(u"%1 needs a value"_s.arg(option));
        const QString value = arguments[++i];
        if (option == u"--baud"_s) {
            const auto baud = parseNumber(value, 0, 4000000);
            if (!baud)
                return fail(u"--baud \"%1\": a rate from 0 (no pacing) to 4000000"_s.arg(value));
            result.options.baudRate = *baud;
        } else if (option == u"--delay"_s) {
            const auto ms = parseNumber(value, 0, kMaxMs);
            if (!ms)
                return fail(u"--delay \"%1\": milliseconds from 0 to %2"_s.arg(value).arg(kMaxMs));
            result.options.answerDelayMs = *ms;
        } else if (option == u"--key"_s) {
            const qsizetype eq = value.indexOf(u'=');
            const auto sector
                = eq > 0 ? parseNumber(QStringView(value).left(eq), 0, 15) : std::optional<int>();
            const QStringView key = QStringView(value).mid(eq + 1);
            if (!sector || key.size() != 12 || !parseHexBytes(key))
                return fail(u"--key \"%1\": SECTOR=KEY with a sector from 0 to 15 and 12 hex "
                            "digits expected"_s.arg(value));
            result.options.keys[*sector] = key.toString().toUpper();
        } else if (option == u"--chaos"_s) {
            QString chaosError;
            const auto chaos = parseSimChaos(value, &chaosError);
            if (!chaos)
                return fail(chaosError);
            result.options.chaos = *chaos;
        } else if (option == u"--firmware"_s) {
            result.options.firmwareVersion = value;
        } else if (option == u"--port"_s) {
            result.serialPort = value;
        } else if (option == u"--listen"_s) {
            // Port 0 is any free port, as for a test that must not collide with another: the
            // first line on stdout tells which. A client can never open port 0 itself.
            const bool anyPort = value.endsWith(u":0"_s);
            const std::optional<PortRequest> address
                = parsePortText(anyPort ? value.chopped(1) + u'1' : value);
            if (!address || address->scheme != u"tcp"_s)
                return fail(u"--listen \"%1\": tcp://HOST:PORT expected"_s.arg(value));
            result.listenHost = address->host;
            result.listenPort = anyPort ? 0 : address->tcpPort;
        } else {
            result.logFile = value;
        }
    }
    if (!result.serialPort.isEmpty() && !result.listenHost.isEmpty())
        return fail(u"--port and --listen: one or the other"_s);
    if (result.junk && (!result.serialPort.isEmpty() || !result.listenHost.isEmpty()))
        return fail(u"--junk pours into a pseudo-terminal only"_s);
    return result;
}

QString simUsage()
{
    return uR"(Usage: porteval-terminal-sim [options]

A simulated card-reader terminal on a pseudo-terminal (where the system has them), on a
serial port (--port) or on a TCP port (--listen). The first line on stdout is what to open:
/dev/pts/N, the serial port, or tcp://HOST:PORT. The simulator keeps answering while programs
open and close that port, and stops on SIGTERM or SIGINT, or after a "vanish" rule fires.

Options:
  --port DEVICE      answer on this serial port at 38400 8N1 (e.g. COM5, /dev/ttyUSB0; the
                     other end of a null-modem cable or a virtual port pair)
  --listen tcp://HOST:PORT
                     answer over TCP as a serial device server in raw mode does, one
                     connection at a time: a new one takes over (e.g. tcp://127.0.0.1:4001;
                     port 0: any free port, the first line says which)
  --on RULE          how to answer some commands; repeatable, the first rule that applies
                     wins (see below)
  --baud N           send at most N/10 bytes a second (e.g. 38400); 0 = at once (default)
  --delay MS         pause before each answer (default 0)
  --key S=KEY        key of sector S (0-15) on the key card, 12 hex digits; repeatable
  --chaos LIST       random trouble for commands no rule matches, e.g.
                     seed=7,silent=0.02,corrupt=0.05,split=0.2,inter=0.2
                     (silent: no answer; corrupt: bad check field, nothing more;
                     split: answer in 2-4 pieces; inter: 1-3 intermediate codes first)
  --firmware TEXT    version text answered to GetFWVersion (default "PTV-SIM 1.0")
  --log FILE         one JSON line per received frame:
                     {"t_ms":..,"hex":"02 72 ..","code":114,"name":"GetInfoKeyCard",
                      "data":"05","check_ok":true} (bad frames add "fault")
  --junk             a faulty line: random bytes into the pseudo-terminal as fast as it takes
                     them, besides the answers (for trying how the program holds up)
  --help             this text
  --version          the program's version

Rules: --on MATCH STEP [then STEP ...]   (no quotes needed; the rule ends at the next --option)
  MATCH   CODE[:D][#N | #A-B | #A-]
          CODE  command code, e.g. 0x72 or 114
          :D    only when the first data byte is D (the sector for 0x72); for 0x81 D is the
                block index, the second data byte
          #N    only the N-th command this MATCH fits; #A-B the A-th to the B-th; #A- from A on
  STEP    what to send, one of (default: answer)
            answer          the terminal's own answer (its code and data)
            code=C          an answer with code C (number or letter: code=E is 0x45)
            inter=C,C,...   intermediate frames with these codes (1-30), no data
            wait            a frame with code 30 ("still waiting")
            silent          nothing
          with, for answer and code=:
            data | nodata | data=HEX   the own data even with another code | none | these
                            bytes (default: own data only with the own code)
            badcrc          check field altered
            badheader       0x1C instead of 0x1B after the start marker
            longlen         length field one too large
            raw03           0x03 in the data sent unescaped (without one in the data, a
                            filler byte before the code carries it)
            rawcode         the response code sent unescaped
            vanish          the first half of the frame, then the simulator exits (over
                            TCP, after closing the connection)
            split=N         the frame in N pieces, chunkgap=MS apart (default 5)
          and for any step:
            gap=MS          pause before the step (default 0 for the first, 20 later;
                            --delay comes on top for the first)
  Only what the steps say is sent: "inter=5,6" alone sends no final answer.
  The command itself is always carried out (keys, blocks stored), whatever is answered.

Examples:
  --on 0x72:5 code=E               sector 5 answers 'E'
  --on 0x72 inter=5,6 then answer  two intermediate frames 20 ms apart, then the answer
  --on 0x73 silent                 the key download is never answered
  --on 0x72#3 badcrc then answer   the third 0x72 gets a damaged frame, then a good one
  --on 0x81:1 code=0x42            writing block 1 fails with 'B'
)"_s;
}
