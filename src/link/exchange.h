// One command out, its answer back: framing and writing a command, collecting the answer byte
// by byte, and waiting for it with a budget counted by the window's 100 ms tick.
#pragma once

#include "link/answer_parser.h"
#include "link/frame_trace.h"

#include <QByteArray>
#include <QString>

// What the exchange needs of the window around it.
class LinkHost
{
public:
    virtual ~LinkHost() = default;
    // The window's bPortOpen flag is 1.
    virtual bool linkPortOpen() const = 0;
    // Writes a whole frame to the port without waiting for it to leave.
    virtual void linkOutput(const QByteArray &frame) = 0;
    // An intermediate response code arrived during a wait: show it at once.
    virtual void ShowMisResp(quint8 bNumResp) = 0;
    // Hands over, through receiveByte, every byte that has arrived by now and is still on its
    // way in, without waiting for more.
    virtual void linkTakeWaiting() { }
};

class ReaderLink
{
public:
    static constexpr qint16 kFirstAnswerTicks = 20; // about 2 s until the first answer
    static constexpr qint16 kIntermediateTicks = 150; // about 15 s after each intermediate code

    explicit ReaderLink(LinkHost &host)
        : m_host(host)
    { }

    // Frames and writes one command. `sTermID` comes back as its binary bytes and `sData`
    // escaped, so callers fetch a fresh identifier for every command. 255 when the port is not
    // open (or the frame would be too long to check): nothing is written then. Whatever had
    // arrived before is set aside first: shown as such in the trace, never taken as an answer.
    // So is whatever arrives while no command waits (receiveByte).
    quint8 SendCommand(quint8 iFunction, QString &sTermID, QByteArray &sData);

    // Waits for an answer while the window's events go on. 0 puts the answer's data into
    // `sDataReb`; any other result leaves it as it was.
    quint8 RebAnswer(QByteArray &sDataReb);

    quint8 SendCom_RebAns(quint8 iCmdCode, QString &sTermID, QByteArray &sDataSend,
                          QByteArray &sDataReb);

    // One received byte, as the port's receive event hands it over.
    void receiveByte(char byte);

    // The window's 100 ms tick.
    void Timer1_Timer();

    // The window is closing: the wait under way and every later one end at once as a time-out.
    void abortWaits() { m_aborted = true; }
    // The wait under way, if any, ends at once as a time-out would (the user pressed Escape,
    // or the port went away); later waits are not affected.
    void endWait() { m_endRequested = m_waiting; }
    // The port went away: traced, and the wait under way ends.
    void portLost(const QString &reason)
    {
        m_trace.portLost(reason);
        endWait();
    }
    bool isWaiting() const { return m_waiting; }

    // Every frame sent, accepted or dropped, and every time-out, as it happens.
    void setFrameListener(FrameTrace::Listener listener)
    {
        m_trace.setListener(std::move(listener));
    }

    quint8 bRespReb = 0; // 30 while waiting, 31 after a time-out, else the last answer's code
    qint16 iTimeOut = 0; // ticks left for the current wait
    QByteArray sDataAns; // data of the last accepted answer

    const QByteArray &sFrameReb() const { return m_assembler.collected(); }

private:
    LinkHost &m_host;
    FrameAssembler m_assembler;
    FrameTrace m_trace;
    bool m_aborted = false;
    bool m_endRequested = false;
    bool m_waiting = false;
};
