#include "key_card_query.h"

#include "commands/reader_window.h"
#include "link/command_set.h"
#include "link/frame.h"
#include "platform/ansi_text.h"

using namespace Qt::StringLiterals;

namespace {
QString sectorLabel(int sector)
{
    return u"GetInfoKeyCard["_s + QString::number(sector) + u"]: "_s;
}
} // namespace

quint8 cmdGetInfoKeyCard(ReaderWindow &window)
{
    window.EnableControls(false);
    window.SetTextStatus(u"GetInfoKeyCard: "_s + window.GetMisResp(Resp::Waiting));
    for (int i = 0; i < kSectors; ++i)
        window.setKeyText(i, QString());

    quint8 r = Resp::Success;
    int sector = 0;
    for (; sector < kSectors; ++sector) {
        window.SetTextStatus(sectorLabel(sector) + window.GetMisResp(Resp::Waiting));
        QString termId = GetTermID();
        QByteArray data(1, char(sector));
        QByteArray answer;
        r = window.SendCom_RebAns(Cmd::GetInfoKeyCard, termId, data, answer);
        window.SetTextStatus(sectorLabel(sector) + window.GetMisResp(r));
        if (r != Resp::Success)
            break;
        window.setKeyText(sector, fromAnsi(answer));
    }
    if (r == Resp::Success)
        window.setKeyCardRead();
    window.SetTextStatus(sectorLabel(sector) + window.GetMisResp(r));
    window.EnableControls(true);
    return r;
}

quint8 GetFWVersion(ReaderWindow &window, QString *version)
{
    const QString label = u"GetFWVersion: "_s;
    window.EnableControls(false);
    window.SetTextStatus(label + window.GetMisResp(Resp::Waiting));
    QString termId = GetTermID();
    QByteArray data("0");
    QByteArray answer;
    const quint8 r = window.SendCom_RebAns(Cmd::GetFWVersion, termId, data, answer);
    if (r == Resp::Success) {
        window.SetTextStatus(label + window.GetMisResp(r) + u" >> "_s + fromAnsi(answer));
        if (version)
            *version = fromAnsi(answer);
    } else {
        window.SetTextStatus(label + window.GetMisResp(r));
    }
    window.EnableControls(true);
    return r;
}

quint8 BeepSound(ReaderWindow &window)
{
    const QString label = u"BeepSound: "_s;
    window.EnableControls(false);
    window.SetTextStatus(label + window.GetMisResp(Resp::Waiting));
    QString termId = GetTermID();
    QByteArray data = '\x01' + QByteArray(40, ' ');
    const quint8 r = window.SendCommand(Cmd::BeepSound, termId, data);
    window.SetTextStatus(label + window.GetMisResp(r));
    window.EnableControls(true);
    return r;
}
