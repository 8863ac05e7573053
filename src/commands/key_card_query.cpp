#include "key_card_query.h"

#include "commands/reader_session.h"
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

quint8 cmdGetInfoKeyCard(ReaderSession &session)
{
    ReaderFields &fields = session.fields();
    session.EnableControls(false);
    session.showResult(u"GetInfoKeyCard: "_s, Resp::Waiting);
    for (int i = 0; i < kSectors; ++i)
        fields.setKeyText(i, QString());

    quint8 r = Resp::Success;
    int sector = 0;
    for (; sector < kSectors; ++sector) {
        session.showResult(sectorLabel(sector), Resp::Waiting);
        QString termId = GetTermID();
        QByteArray data(1, char(sector));
        QByteArray answer;
        r = session.SendCom_RebAns(Cmd::GetInfoKeyCard, termId, data, answer);
        session.showResult(sectorLabel(sector), r);
        if (r != Resp::Success)
            break;
        fields.setKeyText(sector, fromAnsi(answer));
    }
    if (r == Resp::Success)
        session.setKeyCardRead();
    session.showResult(sectorLabel(sector), r);
    session.EnableControls(true);
    return r;
}

quint8 GetFWVersion(ReaderSession &session, QString *version)
{
    const QString label = u"GetFWVersion: "_s;
    session.EnableControls(false);
    session.showResult(label, Resp::Waiting);
    QString termId = GetTermID();
    QByteArray data("0");
    QByteArray answer;
    const quint8 r = session.SendCom_RebAns(Cmd::GetFWVersion, termId, data, answer);
    if (r == Resp::Success) {
        session.showResult(label, r, u" >> "_s + fromAnsi(answer));
        if (version)
            *version = fromAnsi(answer);
    } else {
        session.showResult(label, r);
    }
    session.EnableControls(true);
    return r;
}

quint8 BeepSound(ReaderSession &session)
{
    const QString label = u"BeepSound: "_s;
    session.EnableControls(false);
    session.showResult(label, Resp::Waiting);
    QString termId = GetTermID();
    QByteArray data = '\x01' + QByteArray(40, ' ');
    const quint8 r = session.SendCommand(Cmd::BeepSound, termId, data);
    session.showResult(label, r);
    session.EnableControls(true);
    return r;
}
