// A history record in words of the current language: as porteval-cli history prints it, one
// line an operation, and as the window's History dialog shows it, a cell a column.
#pragma once

#include "history/history_record.h"

class LanguageTable;

// The operation's name in words; the name as recorded when it names none of kOperations.
QString operationText(const QString &operation, const LanguageTable &languages);
QString programText(const QString &program, const LanguageTable &languages);
// "1 (/dev/ttyUSB0)": the port as typed and, when it says more, as opened; demo mode's terminal
// by its name in words.
QString portText(const HistoryRecord &record, const LanguageTable &languages);
// "slot=5 text=Saldo": what a card was given, "" for other operations.
QString cardText(const QJsonObject &card);
// Local time to the second: what the technician's clock said.
QString localTimeText(const QDateTime &time);
// Time, program, port, operation, result, duration, the line that says how it ended,
// firmware, card.
QString historyLine(const HistoryRecord &record, const LanguageTable &languages);
