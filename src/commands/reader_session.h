// One reader session: the serial-port control to one terminal, the exchange over it with its
// 100 ms tick, the port handlers with their status lines, what a lost port does, and the fields
// the operations read. The window drives one; the command line and the port finder one per
// port, in threads of their own when several ports work at once.
#pragma once

#include "commands/reader_window.h"
#include "link/exchange.h"
#include "platform/comm_control.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

class LanguageTable;

class ReaderSession : public QObject, public ReaderWindow, public LinkHost, public ReaderFieldValues
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

    // "Abrir COM" and "Cerrar COM": "OpenPortCOM:" / "ClosePort:" status lines, results 0,
    // kPortWrongState and kPortFailed. `portText` names the port as the port box does.
    quint8 openPort(const QString &portText);
    quint8 closePort();
    // 1 while the port is open, else 0.
    const quint8 &bPortOpen() const { return m_portOpen; }
    bool portOpen() const { return m_portOpen == 1; }
    // Why the last open failed, or why the port was lost, in the system's words.
    QString portError() const { return m_portError; }
    bool portLost() const { return m_portLost; }
    // The device the port box's text reached, as the port control names it.
    QString deviceName() const { return ctlMSComm1.deviceName(); }
    // True once a key card query read all 16 sectors; nothing sets it back.
    const bool &bKeyCardRead() const { return m_keyCardRead; }
    // False from an operation's start to its end.
    const bool &bEnableCtrls() const { return m_controlsEnabled; }
    // The window's start: no wait counted down, no key card read.
    void resetState();

    // The operations read and fill `source`'s fields instead of the session's own values.
    void useFields(ReaderFields &source) { m_fields = &source; }
    // Status lines are kept for whoever reports an operation's steps afterwards (the command
    // line); a window running for days keeps none.
    void keepStatusLines(bool keep) { m_keepStatusLines = keep; }
    // Every status line so far, oldest first, while they are kept.
    const QStringList &statusLines() const { return m_statusLines; }
    QString lastStatus() const { return m_lastStatus; }

    // ReaderWindow
    quint8 SendCom_RebAns(quint8 iCmdCode, QString &sTermID, QByteArray &sDataSend,
                          QByteArray &sDataReb) override;
    quint8 SendCommand(quint8 iFunction, QString &sTermID, QByteArray &sData) override;
    void SetTextStatus(const QString &sText) override;
    QString GetMisResp(quint8 bNumResp) const override;
    QString GetMis(int iNumMis) const override;
    // The end of an operation: a port lost during it is said now, after its own last line.
    void EnableControls(bool bEnable) override;
    void setKeyCardRead() override { m_keyCardRead = true; }
    QString keyText(int sector) const override;
    void setKeyText(int sector, const QString &text) override;
    QString oldKeyText() const override;
    int selectedMessage() const override;
    QString messageText(int index) const override;
    ConfigFieldTexts configFieldTexts() const override;

    // LinkHost
    bool linkPortOpen() const override { return m_portOpen == 1; }
    void linkOutput(const QByteArray &frame) override { ctlMSComm1.Output(frame); }
    void ShowMisResp(quint8 bNumResp) override { SetTextStatus(GetMisResp(bNumResp)); }
    void linkTakeWaiting() override;

    // The port's receive event and the 100 ms tick.
    void ctlMSComm1_OnComm();
    void Timer1_Timer();

    CommControl ctlMSComm1;
    ReaderLink link;
    QTimer Timer1;

signals:
    void statusChanged(const QString &text);
    void controlsEnabled(bool enable);
    // A command went out on the open port and its answer is awaited now.
    void answerAwaited();

private:
    void onPortLost(const QString &reason);

    const LanguageTable &m_languages;
    ReaderFields *m_fields = nullptr;
    quint8 m_portOpen = 0;
    bool m_keyCardRead = false;
    bool m_controlsEnabled = true;
    bool m_portLost = false;
    bool m_portLostPending = false;
    bool m_keepStatusLines = true;
    quint64 m_bytesTaken = 0;
    QString m_portError;
    QStringList m_statusLines;
    QString m_lastStatus;
};
