// The three cards the terminal writes, and the records they carry.
#pragma once

#include "commands/card_write.h"
#include "commands/reader_fields.h"

#include <optional>

class ReaderSession;

// Master card: sector 1's key, in one block.
QByteArray masterCardRecord(const QString &sector1KeyText);
quint8 cmdCfgMaster(ReaderSession &session, int index);

// Messages card: message `slot` (1 to 8) with its text, blank-padded or cut to 31 bytes.
inline constexpr int kMessageLength = 31;
QByteArray messagesCardRecord(int slot, const QString &text);
quint8 cmdCfgMis(ReaderSession &session, int index);

// Configuration card: the terminal's port bytes, times, read mode, data-block position and
// the key of the data block's sector. A field out of range gives the message number that
// names it instead of a record.
inline constexpr int kFirstFieldErrorMessage = 170; // UART0, UART1, start, end, block, times
inline constexpr int kBlockWithoutKeyMessage = 177;
// `keys` supplies the key of the data block's sector.
CardRecordOrError configCardRecord(const ConfigFieldTexts &fields, const ReaderFields &keys);
quint8 cmdCfgConfig(ReaderSession &session, int index);
