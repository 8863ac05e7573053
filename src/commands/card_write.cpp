#include "card_write.h"

#include "commands/card_record.h"
#include "commands/key_card_query.h"
#include "commands/reader_window.h"
#include "link/calc_crc16.h"
#include "link/command_set.h"
#include "link/frame.h"

using namespace Qt::StringLiterals;

namespace {
constexpr char kBlockMarker = 0x02; // first byte of every set command
constexpr int kInitDataLength = 85;
} // namespace

QString normalizedKeyText(const QString &keyText)
{
    return (u"000000000000"_s + keyText).right(12);
}

QByteArray normalizedKey(const QString &keyText)
{
    return HexToBin(normalizedKeyText(keyText));
}

QByteArray keyList(const ReaderWindow &window, qint16 iCardType)
{
    QByteArray keys;
    keys.reserve(kSectors * 6);
    for (int p = 0; p < kSectors; ++p) {
        QString text;
        if (p == 1 && (iCardType == 1 || iCardType == 2))
            text = window.keyText(2);
        else if (p == 2 && iCardType == 1)
            text = window.oldKeyText();
        else if (p == 2 && iCardType == 2)
            text = window.keyText(1);
        else
            text = window.keyText(p);
        keys += normalizedKey(text);
    }
    return keys;
}

// Leaves the controls disabled: the card operation that called it enables them at its end.
quint8 DownloadKeys(ReaderWindow &window, qint16 iCardType)
{
    const QString label = u"DownloadKeys: "_s;
    window.EnableControls(false);
    window.SetTextStatus(label + window.GetMisResp(Resp::Waiting));
    QByteArray keys = keyList(window, iCardType);
    QString termId = GetTermID();
    QByteArray answer;
    const quint8 r = window.SendCom_RebAns(Cmd::DownloadKeys, termId, keys, answer);
    window.SetTextStatus(label + window.GetMisResp(r));
    return r;
}

QByteArray cardInitData()
{
    QByteArray data = "01" + HexLong8(0).toLatin1() + GetIssuerID().toLatin1();
    data.append(QByteArray(kInitDataLength - data.size(), '\0'));
    return data;
}

QByteArray cardBlockData(const QByteArray &record, int index)
{
    QByteArray data;
    data.append(kBlockMarker);
    data.append(char(index));
    data.append(record.mid(index * kCardBlockSize, kCardBlockSize));
    return data;
}

quint8 runCardWrite(ReaderWindow &window, const CardKind &card, int index)
{
    window.EnableControls(false);
    quint8 r = DownloadKeys(window, card.keyMapping);
    if (index == 0 && r == Resp::Success) {
        // The terminal's answer to the init command is never looked at: the set step follows
        // whatever it said, and the line says so with the text of success.
        window.SetTextStatus(card.initLabel + window.GetMisResp(Resp::Waiting));
        QString termId = GetTermID();
        QByteArray init = cardInitData();
        QByteArray answer;
        window.SendCom_RebAns(Cmd::InitCfgCard, termId, init, answer);
        r = Resp::Success;
        window.SetTextStatus(card.initLabel + window.GetMisResp(Resp::Success));
    }
    if (r == Resp::Success) {
        window.SetTextStatus(card.setLabel + window.GetMisResp(Resp::Waiting));
        const CardRecordOrError built = card.buildRecord(window);
        if (built.errorMessage != 0) {
            window.SetTextStatus(card.setLabel + window.GetMis(built.errorMessage));
            r = kCardNotBuilt;
        } else {
            for (int k = 0; k < card.blocks && r == Resp::Success; ++k) {
                QString termId = GetTermID();
                QByteArray block = cardBlockData(built.record, k);
                QByteArray answer;
                r = window.SendCom_RebAns(Cmd::SetCfgCard, termId, block, answer);
            }
            window.SetTextStatus(card.setLabel + window.GetMisResp(r));
        }
    }
    window.EnableControls(true);
    return r;
}
