// One reader session: the serial-port control to one terminal, the exchange over it with its
// 100 ms tick, the operations run on it with their status lines, what a lost port does, and the
// fields the operations read. The window shows one; the command line and the port finder run
// one per port, in threads of their own when several ports work at once.
#pragma once

#include "commands/operations.h"
#include "commands/reader_fields.h"
#include "link/exchange.h"
#include "platform/comm_control.h"

#include <QObject>
#include <QTimer>

#include <chrono>

class LanguageTable;

class ReaderSession : public QObject, private LinkHost
{
    Q_OBJECT

public:
    // The port handlers' codes besides 0: asked in the wrong state, and the port refused.
    static constexpr quint8 kPortWrongState = 1;
    static constexpr quint8 kPortFailed = 255;

    // `languages` gives the texts of the status lines and must outlive the session; it is only
    // read, so sessions in several threads may share one.
    ReaderSession(PortProvider &ports, const LanguageTable &languages, QObject *parent = nullptr);
    ~ReaderSession() override;

    // Runs an operation of the table; every status line it puts up says which one it is.
    quint8 run(Operation id, const OperationInput &input = {}, QJsonObject *results = nullptr);

    // "Abrir COM" and "Cerrar COM": "OpenPortCOM:" / "ClosePort:" status lines, results 0,
    // kPortWrongState and kPortFailed. `portText` names the port as the port box does.
    quint8 openPort(const QString &portText);
    quint8 closePort();
    // 1 while the port is open, else 0.
    quint8 bPortOpen() const { return m_portOpen; }
    bool portOpen() const { return m_portOpen == 1; }
    // Why the last open failed, or why the port was lost, in the system's words.
    QString portError() const { return m_portError; }
    bool portLost() const { return m_portLost; }
    // The device the port box's text reached, as the port control names it.
    QString deviceName() const { return ctlMSComm1.deviceName(); }
    // True once a key card query read all 16 sectors; nothing sets it back.
    bool bKeyCardRead() const { return m_keyCardRead; }
    void setKeyCardRead() { m_keyCardRead = true; }
    // False from an operation's start to its end.
    bool bEnableCtrls() const { return m_controlsEnabled; }
    // The window's start: no wait counted down, no key card read.
    void resetState();

    // The fields the operations read and fill: the session's own values, or `source`'s, which
    // must outlive the session.
    ReaderFields &fields() { return *m_fields; }
    const ReaderFields &fields() const { return *m_fields; }
    ReaderFieldValues &ownValues() { return m_ownFields.values; }
    void useFields(ReaderFields &source) { m_fields = &source; }

    // Status lines are kept for whoever reports an operation's steps afterwards (the command
    // line, the port finder); a window running for days keeps none.
    void keepSteps(bool keep) { m_keepSteps = keep; }
    // Every status line so far, oldest first, while they are kept.
    const QList<OperationStep> &steps() const { return m_steps; }
    QString lastStatus() const { return m_lastStatus; }

    // What the operations call: the exchange, the status line, the texts and the control state.
    quint8 SendCom_RebAns(quint8 iCmdCode, QString &sTermID, QByteArray &sDataSend,
                          QByteArray &sDataReb);
    quint8 SendCommand(quint8 iFunction, QString &sTermID, QByteArray &sData);
    // A status line that reports no response code.
    void SetTextStatus(const QString &sText);
    // `label` followed by `text`, as the step of the operation under way that reports `result`.
    void showStep(const QString &label, int result, const QString &text);
    // `label` followed by the text of response code `result`, and `more`.
    void showResult(const QString &label, quint8 result, const QString &more = QString());
    QString GetMisResp(quint8 bNumResp) const;
    QString GetMis(int iNumMis) const;
    // The end of an operation: a port lost during it is said now, after its own last line.
    void EnableControls(bool bEnable);

    // The wait under way ends as a time-out would (Escape, the stop control); later waits are
    // not affected.
    void endWait() { m_link.endWait(); }
    // The session's owner is going: the wait under way and every later one end at once.
    void abortWaits() { m_link.abortWaits(); }
    bool isWaiting() const { return m_link.isWaiting(); }
    // Every frame sent, accepted, dropped or set aside, and every time-out, as it happens.
    void setFrameListener(FrameTrace::Listener listener)
    {
        m_link.setFrameListener(std::move(listener));
    }
    // The tick that counts the waits down; 100 ms. Tests and benchmarks shorten it.
    void setTickInterval(std::chrono::milliseconds tick) { Timer1.setInterval(tick); }
    // Bytes received since the session began, answers or not.
    quint64 bytesReceived() const { return m_bytesTaken; }
    // The exchange itself, for tests that drive it byte by byte.
    ReaderLink &link() { return m_link; }

signals:
    void statusChanged(const OperationStep &step);
    void controlsEnabled(bool enable);
    // A command went out on the open port and its answer is awaited now.
    void answerAwaited();

private:
    // LinkHost
    bool linkPortOpen() const override { return m_portOpen == 1; }
    void linkOutput(const QByteArray &frame) override { ctlMSComm1.Output(frame); }
    void ShowMisResp(quint8 bNumResp) override;
    void linkTakeWaiting() override;

    // The port's receive event and the 100 ms tick.
    void ctlMSComm1_OnComm();
    void Timer1_Timer();
    void onPortLost(const QString &reason);

    CommControl ctlMSComm1;
    ReaderLink m_link { *this };
    QTimer Timer1;
    const LanguageTable &m_languages;
    ReaderFieldStore m_ownFields;
    ReaderFields *m_fields = &m_ownFields;
    std::optional<Operation> m_operation; // the one under way
    quint8 m_portOpen = 0;
    bool m_keyCardRead = false;
    bool m_controlsEnabled = true;
    bool m_portLost = false;
    bool m_portLostPending = false;
    bool m_keepSteps = true;
    quint64 m_bytesTaken = 0;
    QString m_portError;
    QList<OperationStep> m_steps;
    QString m_lastStatus;
};
