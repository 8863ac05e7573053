#include "card_write.h"

#include "commands/card_record.h"
#include "commands/key_card_query.h"
#include "commands/reader_session.h"
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

QByteArray keyList(const ReaderFields &fields, qint16 iCardType)
{
    QByteArray keys;
    keys.reserve(kSectors * 6);
    for (int p = 0; p < kSectors; ++p) {
        QString text;
        if (p == 1 && (iCardType == 1 || iCardType == 2))
            text = fields.keyText(2);
        else if (p == 2 && iCardType == 1)
            text = fields.oldKeyText();
        else if (p == 2 && iCardType == 2)
            text = fields.keyText(1);
        else
            text = fields.keyText(p);
        keys += normalizedKey(text);
    }
    return keys;
}

// Leaves the controls disabled: the card operation that called it enables them at its end.
quint8 DownloadKeys(ReaderSession &session, qint16 iCardType)
{
    const QString label = u"DownloadKeys: "_s;
    session.EnableControls(false);
    session.showResult(label, Resp::Waiting);
    QByteArray keys = keyList(session.fields(), iCardType);
    QString termId = GetTermID();
    QByteArray answer;
    const quint8 r = session.SendCom_RebAns(Cmd::DownloadKeys, termId, keys, answer);
    session.showResult(label, r);
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

quint8 runCardWrite(ReaderSession &session, const CardKind &card, int index)
{
    session.EnableControls(false);
    quint8 r = DownloadKeys(session, card.keyMapping);
    if (index == 0 && r == Resp::Success) {
        // The terminal's answer to the init command is never looked at: the set step follows
        // whatever it said, and the line says so with the text of success.
        session.showResult(card.initLabel, Resp::Waiting);
        QString termId = GetTermID();
        QByteArray init = cardInitData();
        QByteArray answer;
        session.SendCom_RebAns(Cmd::InitCfgCard, termId, init, answer);
        r = Resp::Success;
        session.showResult(card.initLabel, Resp::Success);
    }
    if (r == Resp::Success) {
        session.showResult(card.setLabel, Resp::Waiting);
        const CardRecordOrError built = card.buildRecord(session.fields());
        if (built.errorMessage != 0) {
            r = kCardNotBuilt;
            session.showStep(card.setLabel, r, session.GetMis(built.errorMessage));
        } else {
            for (int k = 0; k < card.blocks && r == Resp::Success; ++k) {
                QString termId = GetTermID();
                QByteArray block = cardBlockData(built.record, k);
                QByteArray answer;
                r = session.SendCom_RebAns(Cmd::SetCfgCard, termId, block, answer);
            }
            session.showResult(card.setLabel, r);
        }
    }
    session.EnableControls(true);
    return r;
}
