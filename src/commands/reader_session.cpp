#include "reader_session.h"

#include "texts/language_table.h"
#include "texts/message_numbers.h"
#include "texts/response_text.h"

#include <QThread>

using namespace Qt::StringLiterals;

namespace {
constexpr auto kTick = std::chrono::milliseconds(100);
constexpr quint8 kPortWrongState = 1;
constexpr quint8 kPortFailed = 255;
} // namespace

ReaderSession::ReaderSession(PortProvider &ports, const LanguageTable &languages, QObject *parent)
    : QObject(parent)
    , m_languages(languages)
    , m_port(ports)
    , m_link(*this)
{
    messages[7] = u" "_s;
    connect(&m_port, &CommControl::OnComm, this, &ReaderSession::takeByte);
    connect(&m_port, &CommControl::portLost, this, &ReaderSession::onPortLost);
    // As the window's: precise, so that 20 ticks never add up to less than 2 s.
    m_tick.setTimerType(Qt::PreciseTimer);
    m_tick.setInterval(kTick);
    connect(&m_tick, &QTimer::timeout, this, [this] {
        m_link.Timer1_Timer();
        // Running in a thread of its own whose owner wants it to end (PortJobs::cancel).
        if (QThread::currentThread()->isInterruptionRequested())
            m_link.abortWaits();
    });
    m_tick.start();
}

ConfigFieldTexts ReaderSession::defaultConfig()
{
    return { u"&H00"_s, u"&H91"_s, u"0- UID de tarjeta"_s, u"&H00"_s, u"&H04"_s, u"&H09"_s,
             u"&H20"_s, u"&H40"_s };
}

ReaderSession::~ReaderSession()
{
    m_link.abortWaits();
}

quint8 ReaderSession::openPort(const QString &portText)
{
    quint8 code = kPortWrongState;
    if (!m_portOpen) {
        const std::optional<PortRequest> request = parsePortText(portText);
        if (!request) {
            m_portError = u"Not a port: %1"_s.arg(portText);
            code = kPortFailed;
        } else if (!openForTerminal(m_port, *request)) {
            m_portError = m_port.errorString();
            code = kPortFailed;
        } else {
            m_portOpen = true;
            m_portLost = false;
            m_portError.clear();
            code = 0;
        }
    }
    SetTextStatus(statusWithResult(u"OpenPortCOM:"_s, code));
    return code;
}

quint8 ReaderSession::closePort()
{
    quint8 code = kPortWrongState;
    if (m_portOpen) {
        m_port.setPortOpen(false);
        m_portOpen = false;
        code = 0;
    }
    SetTextStatus(statusWithResult(u"ClosePort:"_s, code));
    return code;
}

quint8 ReaderSession::SendCom_RebAns(quint8 iCmdCode, QString &sTermID, QByteArray &sDataSend,
                                     QByteArray &sDataReb)
{
    return m_link.SendCom_RebAns(iCmdCode, sTermID, sDataSend, sDataReb);
}

quint8 ReaderSession::SendCommand(quint8 iFunction, QString &sTermID, QByteArray &sData)
{
    return m_link.SendCommand(iFunction, sTermID, sData);
}

void ReaderSession::SetTextStatus(const QString &sText)
{
    m_statusLines << sText;
    emit statusChanged(sText);
}

QString ReaderSession::GetMisResp(quint8 bNumResp) const
{
    return ::GetMisResp(bNumResp, m_languages);
}

QString ReaderSession::GetMis(int iNumMis) const
{
    return m_languages.GetMis(iNumMis);
}

void ReaderSession::takeByte()
{
    const QByteArray received = m_port.Input();
    if (!received.isEmpty())
        m_link.receiveByte(received[0]);
}

void ReaderSession::onPortLost(const QString &reason)
{
    // The wait under way ends now rather than after its budget, and every later command of the
    // operation finds the port closed.
    m_portOpen = false;
    m_portLost = true;
    m_portError = reason;
    m_link.portLost(reason);
    m_port.setPortOpen(false);
    if (m_busy)
        m_portLostPending = true;
    else
        SetTextStatus(GetMis(Mis::PortLost));
}

void ReaderSession::EnableControls(bool bEnable)
{
    m_busy = !bEnable;
    if (bEnable && m_portLostPending) {
        m_portLostPending = false;
        SetTextStatus(GetMis(Mis::PortLost));
    }
}
