// Every reader operation once, by id: what the command line and the history call it, the
// options it takes, its name in words, what its record keeps of a card, and how it runs on a
// session. The window, the command line, the port finder and the history take their operations
// from here and from nowhere else.
#pragma once

#include <QJsonObject>
#include <QLatin1String>
#include <QStringList>

#include <iterator>
#include <optional>

class ReaderSession;

enum class Operation {
    OpenPort,
    ClosePort,
    Find,
    Version,
    Beep,
    ReadKeys,
    WriteMaster,
    WriteMessages,
    WriteConfig,
};

// What an operation's history record keeps of the card it writes: the messages card's slot and
// text, or the configuration card's fields. The master card's only field of its own is the old
// key, which is never kept.
enum class RecordedCard { None, Messages, Config };

struct OperationEntry
{
    Operation id;
    QLatin1String name; // the command line's command and the history's name for it
    int textNumber; // its name in words, in the language files
    RecordedCard card;
    // porteval-cli: a command of its own (the port's two run around every command), the options
    // it takes besides the common ones (in brackets when it may go without), and what --help and
    // the manual say it does.
    bool isCommand;
    const char *options;
    const char *help;
};

inline constexpr OperationEntry kOperations[] = {
    { Operation::OpenPort, QLatin1String("open-port"), 241, RecordedCard::None, false, "", "" },
    { Operation::ClosePort, QLatin1String("close-port"), 242, RecordedCard::None, false, "", "" },
    { Operation::Find, QLatin1String("find"), 249, RecordedCard::None, true, "",
      "ask every port (or the --port list) for its firmware version" },
    { Operation::Version, QLatin1String("version"), 247, RecordedCard::None, true, "",
      "the terminal's firmware version" },
    { Operation::Beep, QLatin1String("beep"), 248, RecordedCard::None, true, "",
      "make the terminal beep" },
    { Operation::ReadKeys, QLatin1String("read-keys"), 243, RecordedCard::None, true, "[o]",
      "read the 16 keys of the key card presented; -o keeps them in a key file" },
    { Operation::WriteMaster, QLatin1String("write-master"), 244, RecordedCard::None, true,
      "keys old-key [set-only]", "write a master card" },
    { Operation::WriteMessages, QLatin1String("write-messages"), 245, RecordedCard::Messages, true,
      "keys [slot] [text] [profile] [set-only]",
      "write a messages card, its text from --text or --profile" },
    { Operation::WriteConfig, QLatin1String("write-config"), 246, RecordedCard::Config, true,
      "keys [profile] [uart0] [uart1] [mode] [block] [start] [end] [refresh] [backlight] "
      "[set-only]",
      "write a configuration card, its fields from --profile and the options" },
};

namespace OperationTable {
constexpr bool inIdOrder()
{
    for (std::size_t i = 0; i < std::size(kOperations); ++i) {
        if (kOperations[i].id != Operation(i))
            return false;
    }
    return true;
}
} // namespace OperationTable
static_assert(OperationTable::inIdOrder(), "kOperations: one entry per Operation, in its order");
static_assert(std::size(kOperations) == std::size_t(Operation::WriteConfig) + 1,
              "kOperations: an Operation has no entry");

inline const OperationEntry &operationEntry(Operation id)
{
    return kOperations[std::size_t(id)];
}

// The operation that the command line or a history record names; nothing for any other name.
std::optional<Operation> operationNamed(QStringView name);
// The option names of a list such as "keys old-key [set-only]".
QStringList optionNames(const char *options);
// The options `id` takes on the command line besides the common ones.
QStringList commandOptions(Operation id);
// Writes a card: the operations whose keys come from a key card query.
bool writesCard(Operation id);

// What an operation is given besides the fields it reads: the port box's text for opening the
// port, the card button pressed ("Init + Set Card" 0, "Set Card" 1) for a card.
struct OperationInput
{
    QString port;
    int button = 0;
};

// Runs `id` on `session` and returns the result its status line ends with. `results`, when
// given, gets what the operation read: "keys" for a key card query, "version" for a firmware
// version that came.
quint8 runOperation(ReaderSession &session, Operation id, const OperationInput &input,
                    QJsonObject *results);

// A status line as data: the operation that put it up (none outside one), the label of its
// step ("DownloadKeys: "), the response code it shows, and the line itself. A line that shows no
// code (a port lost, a message of the window's own) carries kNoResult.
struct OperationStep
{
    static constexpr int kNoResult = -1;

    std::optional<Operation> operation;
    QString label;
    int result = kNoResult;
    QString line;
};
