// One operation of the window or of porteval-cli as the history keeps it: when, from which
// program, on which port, what it was, every status line it produced and how it ended. The keys
// of a card and the old key have no place in it.
#pragma once

#include "commands/operations.h"

#include <QDateTime>
#include <QJsonObject>
#include <QStringList>

#include <optional>

class ReaderFields;
struct ConfigFieldTexts;
struct PortOutcome;

// The programs that write the history.
inline constexpr QLatin1String kProgramWindow("window");
inline constexpr QLatin1String kProgramCli("cli");

struct HistoryRecord
{
    QDateTime time; // when the operation started, in UTC
    QString program; // kProgramWindow or kProgramCli
    QString port; // as typed
    QString device; // as opened; empty when the port did not open
    QString operation; // the name of an operation of kOperations
    QStringList lines; // every status line, in order
    // The line that says how it ended: the last one, or for porteval-cli, whose lines end with
    // the port's closing, the operation's own last one (with why the port did not open).
    QString text;
    int result = 0; // what the operation ended with; 255 when the port did not open
    qint64 ms = 0;
    QString firmware; // the terminal's firmware version, when known
    QJsonObject card; // what a card was given: its configuration fields, or slot and text

    bool failed() const { return result != 0; }
    // One line of JSON, without the line break.
    QByteArray toJsonLine() const;
    // Nothing when `line` is not a record.
    static std::optional<HistoryRecord> fromJsonLine(const QByteArray &line);
};

// What porteval-cli and the port finder report of a port, as a record of `program`. Only the
// firmware version is taken from the outcome's own results: the keys of a key card query stay
// out.
HistoryRecord recordOfOutcome(const PortOutcome &outcome, QLatin1String program,
                              const QJsonObject &card = {});

// What a card was given, as a record keeps it: the configuration card's eight fields as typed,
// or the messages card's slot (1 to 8) and text. The master card's only field of its own is the
// old key, which is never kept.
QJsonObject recordedCard(Operation id, const ReaderFields &fields);
QJsonObject configCardFields(const ConfigFieldTexts &fields);
QJsonObject messagesCardFields(int slot, const QString &text);
