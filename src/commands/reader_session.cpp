#include "reader_session.h"

#include "texts/language_table.h"
#include "texts/message_numbers.h"
#include "texts/response_text.h"

#include <QAbstractEventDispatcher>
#include <QThread>

#include <utility>

using namespace Qt::StringLiterals;

namespace {
constexpr auto kTick = std::chrono::milliseconds(100);
// Rounds of the pending events that may bring bytes already received before a command: one
// is enough on Unix; on Windows a read completes in a round of its own after the event that
// started it.
constexpr int kTakeWaitingRounds = 16;
} // namespace

ReaderSession::ReaderSession(PortProvider &ports, const LanguageTable &languages, QObject *parent)
    : QObject(parent)
    , ctlMSComm1(ports)
    , m_languages(languages)
{
    connect(&ctlMSComm1, &CommControl::OnComm, this, &ReaderSession::ctlMSComm1_OnComm);
    connect(&ctlMSComm1, &CommControl::portLost, this, &ReaderSession::onPortLost);
    // The tick counts down every wait; it runs from the start to the end, waiting or not. A
    // coarse timer may fire 5% early, which would cut a 2 s budget to 1.8 s.
    Timer1.setTimerType(Qt::PreciseTimer);
    Timer1.setInterval(kTick);
    connect(&Timer1, &QTimer::timeout, this, &ReaderSession::Timer1_Timer);
    Timer1.start();
}

ReaderSession::~ReaderSession()
{
    // A wait still under way (torn down from inside an operation) ends at once.
    m_link.abortWaits();
}

void ReaderSession::resetState()
{
    m_link.iTimeOut = 0;
    m_keyCardRead = false;
}

quint8 ReaderSession::run(Operation id, const OperationInput &input, QJsonObject *results)
{
    const std::optional<Operation> outer = std::exchange(m_operation, id);
    const quint8 result = runOperation(*this, id, input, results);
    m_operation = outer;
    return result;
}

quint8 ReaderSession::openPort(const QString &portText)
{
    EnableControls(false);
    quint8 code = kPortWrongState;
    if (m_portOpen == 0) {
        // A port number or "COMn", a device path beginning with "/", or a serial device
        // server's "tcp://" or "rfc2217://" address.
        const std::optional<PortRequest> request = parsePortText(portText);
        if (!request) {
            m_portError = u"Not a port: %1"_s.arg(portText);
            code = kPortFailed;
        } else if (!openForTerminal(ctlMSComm1, *request)) {
            m_portError = ctlMSComm1.errorString();
            code = kPortFailed;
        } else {
            m_portOpen = 1;
            m_portLost = false;
            m_portError.clear();
            code = 0;
        }
    }
    EnableControls(true);
    showStep(u"OpenPortCOM:"_s, code, statusWithResult(QString(), code));
    return code;
}

quint8 ReaderSession::closePort()
{
    quint8 code = kPortWrongState;
    if (m_portOpen == 1) {
        code = ctlMSComm1.setPortOpen(false) ? 0 : kPortFailed;
        if (code == 0)
            m_portOpen = 0;
    }
    showStep(u"ClosePort:"_s, code, statusWithResult(QString(), code));
    return code;
}

quint8 ReaderSession::SendCom_RebAns(quint8 iCmdCode, QString &sTermID, QByteArray &sDataSend,
                                     QByteArray &sDataReb)
{
    if (linkPortOpen())
        emit answerAwaited();
    return m_link.SendCom_RebAns(iCmdCode, sTermID, sDataSend, sDataReb);
}

quint8 ReaderSession::SendCommand(quint8 iFunction, QString &sTermID, QByteArray &sData)
{
    return m_link.SendCommand(iFunction, sTermID, sData);
}

void ReaderSession::SetTextStatus(const QString &sText)
{
    showStep(QString(), OperationStep::kNoResult, sText);
}

void ReaderSession::showStep(const QString &label, int result, const QString &text)
{
    const OperationStep step { m_operation, label, result, label + text };
    m_lastStatus = step.line;
    if (m_keepSteps)
        m_steps << step;
    emit statusChanged(step);
}

void ReaderSession::showResult(const QString &label, quint8 result, const QString &more)
{
    showStep(label, result, GetMisResp(result) + more);
}

void ReaderSession::ShowMisResp(quint8 bNumResp)
{
    showResult(QString(), bNumResp);
}

QString ReaderSession::GetMisResp(quint8 bNumResp) const
{
    return ::GetMisResp(bNumResp, m_languages);
}

QString ReaderSession::GetMis(int iNumMis) const
{
    return m_languages.GetMis(iNumMis);
}

void ReaderSession::EnableControls(bool bEnable)
{
    m_controlsEnabled = bEnable;
    emit controlsEnabled(bEnable);
    if (bEnable && m_portLostPending) {
        m_portLostPending = false;
        SetTextStatus(GetMis(Mis::PortLost));
    }
}

void ReaderSession::linkTakeWaiting()
{
    // What the system has received by now reaches us through events already pending: the
    // port's read notification, or a read completed on Windows. User input waits.
    QAbstractEventDispatcher *dispatcher = QThread::currentThread()->eventDispatcher();
    if (!dispatcher)
        return;
    for (int round = 0; round < kTakeWaitingRounds; ++round) {
        const quint64 before = m_bytesTaken;
        const bool handled = dispatcher->processEvents(QEventLoop::ExcludeUserInputEvents);
        if (!handled && m_bytesTaken == before)
            break;
    }
}

void ReaderSession::ctlMSComm1_OnComm()
{
    if (ctlMSComm1.CommEvent() != CommControl::comEvReceive)
        return;
    const QByteArray received = ctlMSComm1.Input();
    if (received.isEmpty())
        return;
    ++m_bytesTaken;
    m_link.receiveByte(received[0]);
}

void ReaderSession::Timer1_Timer()
{
    m_link.Timer1_Timer();
    // Running in a thread of its own whose owner wants it to end (PortJobs::cancel).
    if (QThread::currentThread()->isInterruptionRequested())
        m_link.abortWaits();
}

void ReaderSession::onPortLost(const QString &reason)
{
    // The wait under way ends now rather than after its budget, the port is closed as "Cerrar
    // COM" closes it, and every later command of the operation finds it closed. Said at once
    // when idle, else after the operation's own last line.
    m_link.portLost(reason);
    if (m_portOpen == 1) {
        ctlMSComm1.setPortOpen(false);
        m_portOpen = 0;
    }
    m_portLost = true;
    m_portError = reason;
    if (m_controlsEnabled)
        SetTextStatus(GetMis(Mis::PortLost));
    else
        m_portLostPending = true;
}
