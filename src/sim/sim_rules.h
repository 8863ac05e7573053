// How the simulated terminal departs from its plain answers: per-command rules, global
// options, and the command-line text that sets them (`--on 0x72:5 code=E`).
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

inline constexpr int kSimSectors = 16;

// Sector i holds "A0A1A2A3A4" + HexByte(0xA0 + i), except sector 2: 020380A1B2C3, whose bytes
// hold both markers and the escape byte, so that a key download has to escape them.
std::array<QString, kSimSectors> defaultSimKeys();

inline constexpr const char *kDefaultFirmwareVersion = "PTV-SIM 1.0";

// One thing the terminal does in answer to a command: send one answer frame (possibly
// damaged, split or cut short) or nothing.
struct SimStep
{
    enum class Kind {
        Answer,
        Silent,
    };
    enum class Fault {
        None,
        BadCheck, // check field altered
        BadHeader, // 0x1C instead of 0x1B after the start marker
        LongLength, // length field one too large
        Raw03, // 0x03 bytes of the data sent unescaped; without any, a filler byte carries one
        RawCode, // the response code sent unescaped
        Vanish, // first half of the frame, then the terminal disappears
    };
    enum class Data {
        Auto, // the command's own answer data when answering with its own code, else none
        Own, // the command's own answer data whatever the code
        None,
        Given, // givenData
    };

    Kind kind = Kind::Answer;
    std::optional<quint8> code; // none: the code the command itself results in
    Data data = Data::Auto;
    QByteArray givenData;
    Fault fault = Fault::None;
    int chunks = 1; // the frame goes out in this many pieces
    int chunkGapMs = 5;
    int gapMs = -1; // pause before this step; -1: none for a rule's first step, 20 ms later

    static constexpr int kDefaultGapMs = 20;

    friend bool operator==(const SimStep &a, const SimStep &b);
};

struct SimRule
{
    quint8 code = 0;
    // Matches data[0] of the command, except for SetCfgCard, where data[0] is always 0x02 and
    // the block index at data[1] is what tells the commands apart.
    std::optional<quint8> selector;
    // The rule applies to the firstMatch-th to lastMatch-th command it matches, counting from
    // 1; lastMatch 0 means no end.
    int firstMatch = 1;
    int lastMatch = 0;
    QList<SimStep> steps;

    bool matchesCommand(quint8 commandCode, const QByteArray &data) const;
    bool coversCount(int count) const;

    friend bool operator==(const SimRule &a, const SimRule &b);
};

// Randomly perturbed answers for a soak test; applies to commands no rule matches.
struct SimChaos
{
    bool enabled = false;
    quint32 seed = 1;
    double silent = 0; // no answer
    double corrupt = 0; // a bad check field and nothing more
    double split = 0; // the answer in 2-4 pieces
    double inter = 0; // 1-3 intermediate codes (1-30) before the answer
};

struct SimOptions
{
    QList<SimRule> rules; // the first one that applies wins
    int baudRate = 0; // pace outgoing bytes at 10 bits each; 0 sends them at once
    int answerDelayMs = 0;
    std::array<QString, kSimSectors> keys = defaultSimKeys();
    QString firmwareVersion = QLatin1String(kDefaultFirmwareVersion);
    SimChaos chaos;
};

// The rule in `text`, as written after --on; on a mistake, nothing and `*error` says what
// and where.
std::optional<SimRule> parseSimRule(const QString &text, QString *error);
std::optional<SimChaos> parseSimChaos(const QString &text, QString *error);

struct SimCommandLine
{
    SimOptions options;
    QString logFile;
    QString serialPort; // --port: answer on this serial port instead of a pseudo-terminal
    QString listenHost; // --listen: answer over TCP instead
    quint16 listenPort = 0;
    bool junk = false; // --junk: a faulty line pouring random bytes (pseudo-terminal only)
    bool help = false;
    bool version = false;
};

// The standalone program's arguments, without the program name.
std::optional<SimCommandLine> parseSimArguments(const QStringList &arguments, QString *error);

// The --help text.
QString simUsage();
