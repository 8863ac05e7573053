#include "exchange.h"

#include "link/calc_crc16.h"
#include "link/command_set.h"
#include "link/frame.h"

#include <QCoreApplication>
#include <QEventLoop>

quint8 ReaderLink::SendCommand(quint8 iFunction, QString &sTermID, QByteArray &sData)
{
    const QByteArray frame = buildCommandFrame(iFunction, sTermID, sData);
    const QByteArray plainData = sData;
    sTermID = QString::fromLatin1(HexToBin(sTermID));
    sData = escapeData(sData);
    if (!m_host.linkPortOpen() || frame.isEmpty())
        return Resp::PortNotOpen;
    // Bytes that came before this command cannot answer it: a late answer to a command that
    // timed out, one left in the line by a program stopped mid-query, an adapter's buffer
    // from before the port was opened. Taken in now and set aside, a part-frame included.
    m_host.linkTakeWaiting();
    m_trace.setAside(m_assembler.takeUnparsed());
    // The port may have gone while its last bytes were taken.
    if (!m_host.linkPortOpen())
        return Resp::PortNotOpen;
    m_trace.sent(iFunction, plainData, frame);
    m_host.linkOutput(frame);
    return Resp::Success;
}

quint8 ReaderLink::RebAnswer(QByteArray &sDataReb)
{
    bRespReb = Resp::Waiting;
    sDataAns.clear();
    iTimeOut = kFirstAnswerTicks;
    m_waiting = true;
    m_endRequested = false;
    while (bRespReb >= 1 && bRespReb <= Resp::Waiting) {
        // The budget is tested before a new intermediate code is shown: when both come in
        // the same pass, the code is returned unshown.
        if (iTimeOut == 0 || m_aborted || m_endRequested)
            break;
        if (bRespReb != Resp::Waiting) {
            m_host.ShowMisResp(bRespReb);
            iTimeOut = kIntermediateTicks;
            bRespReb = Resp::Waiting;
        }
        // What is already posted goes first: on Windows a serial port's completed read arrives
        // as a posted event, and Qt's event loop there, having delivered posted events only,
        // goes on to block until the next message, the tick up to 100 ms later.
        QCoreApplication::sendPostedEvents();
        if (bRespReb != Resp::Waiting || m_endRequested || m_aborted)
            continue;
        // Blocks until something happens (a received byte, the tick, the user), so that a
        // wait costs no processor time.
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    m_waiting = false;
    m_endRequested = false;
    if (bRespReb == Resp::Waiting) {
        bRespReb = Resp::TimeOut;
        m_trace.timedOut();
    }
    if (bRespReb == Resp::Success)
        sDataReb = sDataAns;
    return bRespReb;
}

quint8 ReaderLink::SendCom_RebAns(quint8 iCmdCode, QString &sTermID, QByteArray &sDataSend,
                                  QByteArray &sDataReb)
{
    const quint8 sent = SendCommand(iCmdCode, sTermID, sDataSend);
    if (sent != Resp::Success)
        return sent;
    return RebAnswer(sDataReb);
}

void ReaderLink::receiveByte(char byte)
{
    const std::optional<ParsedAnswer> answer = m_assembler.feed(byte);
    if (!answer)
        return;
    // An answer is taken while its command waits, and only then: whatever comes while none
    // waits is set aside, whenever it comes and whatever was sent last.
    const bool setAside = !m_waiting;
    m_trace.received(m_assembler.lastParsed(), *answer, setAside);
    if (!answer->accepted() || setAside)
        return;
    sDataAns = answer->data;
    bRespReb = answer->code;
}

void ReaderLink::Timer1_Timer()
{
    if (iTimeOut != 0)
        --iTimeOut;
}
