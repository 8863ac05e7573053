// Writing a card through the terminal: key download, card initialisation, then the card record
// block by block. The master, messages and configuration cards share this sequence.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class ReaderFields;
class ReaderSession;

inline constexpr int kCardBlockSize = 16;

// The record of the card to write, or why it cannot be built: a message number whose text
// goes on the status line after the set label.
struct CardRecordOrError
{
    QByteArray record;
    int errorMessage = 0;
};

struct CardKind
{
    QString initLabel; // "InitCfgCard: " ...
    QString setLabel; // "SetCfgCard: " ...
    qint16 keyMapping; // iCardType for DownloadKeys
    int blocks; // 16-byte blocks of the record written
    // Reads the fields when the record is needed, not before.
    std::function<CardRecordOrError(const ReaderFields &)> buildRecord;
};

// `index` 0 is "Init + Set Card", 1 "Set Card". Returns the result the status line ends with;
// a field out of range ends it with kCardNotBuilt.
inline constexpr quint8 kCardNotBuilt = 254;
quint8 runCardWrite(ReaderSession &session, const CardKind &card, int index);

// The key download's sixteen keys, 6 bytes each; iCardType 1 (master card) puts the old key
// in position 2, iCardType 2 (messages and configuration cards) swaps sectors 1 and 2.
QByteArray keyList(const ReaderFields &fields, qint16 iCardType);
quint8 DownloadKeys(ReaderSession &session, qint16 iCardType);

// A key box's text as 12 characters: zeros in front, the last 12 kept.
QString normalizedKeyText(const QString &keyText);
// The same as 6 bytes.
QByteArray normalizedKey(const QString &keyText);

// The 85 bytes of the init command, the same for every card.
QByteArray cardInitData();

// The 18 bytes of the set command for block `index` of `record`.
QByteArray cardBlockData(const QByteArray &record, int index);
