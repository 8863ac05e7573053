#include "cards.h"

#include "commands/card_record.h"
#include "commands/key_card_query.h"
#include "link/calc_crc16.h"
#include "platform/ansi_text.h"
#include "platform/number_text.h"

using namespace Qt::StringLiterals;

QByteArray masterCardRecord(const QString &sector1KeyText)
{
    // Card kind 69; the zeros and the trailing 02 are the terminal's format.
    const QString dec = u"69"_s + u"0000"_s + u"020"_s;
    const QString hex = u"0000"_s + normalizedKeyText(sector1KeyText) + u"00"_s + u"02"_s;
    return BuildCardRecord(dec, hex, QByteArray(32, '0'));
}

quint8 cmdCfgMaster(ReaderSession &session, int index)
{
    static const CardKind master { u"InitCfgCard: "_s, u"SetCfgCard: "_s, 1, 1,
                                   [](const ReaderFields &f) {
                                       return CardRecordOrError { masterCardRecord(f.keyText(1)) };
                                   } };
    return runCardWrite(session, master, index);
}

QByteArray messagesCardRecord(int slot, const QString &text)
{
    const QString dec = u"53"_s + u"0000"_s + u"002"_s;
    const QString hex = HexByte(quint8(slot)) + QString(18, u'F');
    // Pad and cut in characters, then one byte per character: the bytes sent are the bytes
    // summed.
    const QByteArray bin = toAnsi((text + QString(40, u' ')).left(kMessageLength));
    return BuildCardRecord(dec, hex, bin);
}

quint8 cmdCfgMis(ReaderSession &session, int index)
{
    static const CardKind messages { u"InitCfgMis: "_s, u"SetCfgMis: "_s, 2, 3,
                                     [](const ReaderFields &f) {
                                         const int selected = f.selectedMessage();
                                         return CardRecordOrError { messagesCardRecord(
                                             selected + 1, f.messageText(selected)) };
                                     } };
    return runCardWrite(session, messages, index);
}

CardRecordOrError configCardRecord(const ConfigFieldTexts &fields, const ReaderFields &keys)
{
    // In the order the terminal's card lists them; the read mode is a single digit and
    // always fits.
    const QString *const ranged[]
        = { &fields.uart0,       &fields.uart1,       &fields.startPosition, &fields.endPosition,
            &fields.blockNumber, &fields.refreshTime, &fields.backlightTime };
    quint8 value[7] = {};
    for (int i = 0; i < 7; ++i) {
        const std::optional<quint8> read = roundToByte(readNumber(*ranged[i]));
        if (!read)
            return { {}, kFirstFieldErrorMessage + i };
        value[i] = *read;
    }
    const quint8 uart0 = value[0], uart1 = value[1], start = value[2], end = value[3],
                 block = value[4], refresh = value[5], backlight = value[6];
    const quint8 mode = roundToByte(readNumber(fields.mode.left(1))).value_or(0);

    const int sector = block / 4;
    if (sector >= kSectors)
        return { {}, kBlockWithoutKeyMessage };

    const QString dec = u"54"_s + u"0000"_s + u"020"_s;
    const QString hex = HexByte(uart0) + HexByte(uart1) + HexNibble(mode) + u"1"_s + u"0F"_s
        + HexNibble(start) + HexNibble(end) + HexByte(block) + HexByte(refresh) + HexByte(backlight)
        + u"FF"_s + u"01"_s;
    const QByteArray bin
        = HexToBin(u"0F"_s + normalizedKeyText(keys.keyText(sector)) + u"00"_s + QString(46, u'0'));
    return { BuildCardRecord(dec, hex, bin), 0 };
}

quint8 cmdCfgConfig(ReaderSession &session, int index)
{
    static const CardKind config { u"InitCfgConfig: "_s, u"SetCfgConfig: "_s, 2, 3,
                                   [](const ReaderFields &f) {
                                       return configCardRecord(f.configFieldTexts(), f);
                                   } };
    return runCardWrite(session, config, index);
}
