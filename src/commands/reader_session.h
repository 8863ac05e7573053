// A reader window without widgets: the exchange over a serial-port control, the status line as a
// list and a signal, and the fields the operations read. The command line and the port finder
// run the reader operations on it, in threads of their own when several ports work at once.
#pragma once

#include "commands/key_card_query.h"
#include "commands/reader_window.h"
#include "link/exchange.h"
#include "platform/comm_control.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <array>

class LanguageTable;

class ReaderSession : public QObject, public ReaderWindow, public LinkHost
{
    Q_OBJECT

public:
    // `languages` gives the texts of the status lines and must outlive the session; it is only
    // read, so sessions in several threads may share one.
    ReaderSession(PortProvider &ports, const LanguageTable &languages, QObject *parent = nullptr);
    ~ReaderSession() override;

    // The port handlers of the window: "OpenPortCOM:" / "ClosePort:" status lines, results 0,
    // 1 (wrong state) and 255 (failed). `portText` names the port as the port box does.
    quint8 openPort(const QString &portText);
    quint8 closePort();
    bool portOpen() const { return m_portOpen; }
    // Why the last open failed, or why the port was lost, in the system's words.
    QString portError() const { return m_portError; }
    bool portLost() const { return m_portLost; }
    // The device the port box's text reached, as CommControl names it.
    QString deviceName() const { return m_port.deviceName(); }

    ReaderLink &link() { return m_link; }

    // Every status line so far, oldest first.
    const QStringList &statusLines() const { return m_statusLines; }
    QString lastStatus() const { return m_statusLines.value(m_statusLines.size() - 1); }

    // The configuration fields as the window shows them when it opens.
    static ConfigFieldTexts defaultConfig();

    // The fields the operations read, with the window's design texts to start with.
    std::array<QString, kSectors> keys {};
    QString oldKey = QStringLiteral("5A17C3E09B42");
    int message = 0;
    std::array<QString, 8> messages {};
    ConfigFieldTexts config = defaultConfig();
    bool keyCardRead = false;

    // ReaderWindow
    quint8 SendCom_RebAns(quint8 iCmdCode, QString &sTermID, QByteArray &sDataSend,
                          QByteArray &sDataReb) override;
    quint8 SendCommand(quint8 iFunction, QString &sTermID, QByteArray &sData) override;
    void SetTextStatus(const QString &sText) override;
    QString GetMisResp(quint8 bNumResp) const override;
    QString GetMis(int iNumMis) const override;
    // The end of an operation: a port lost during it is said now, after its own last line.
    void EnableControls(bool bEnable) override;
    void setKeyCardRead() override { keyCardRead = true; }
    QString keyText(int sector) const override { return keys[sector]; }
    void setKeyText(int sector, const QString &text) override { keys[sector] = text; }
    QString oldKeyText() const override { return oldKey; }
    int selectedMessage() const override { return message; }
    QString messageText(int index) const override { return messages[index]; }
    ConfigFieldTexts configFieldTexts() const override { return config; }

    // LinkHost
    bool linkPortOpen() const override { return m_portOpen; }
    void linkOutput(const QByteArray &frame) override { m_port.Output(frame); }
    void ShowMisResp(quint8 bNumResp) override { SetTextStatus(GetMisResp(bNumResp)); }

signals:
    void statusChanged(const QString &text);

private:
    void takeByte();
    void onPortLost(const QString &reason);

    const LanguageTable &m_languages;
    CommControl m_port;
    ReaderLink m_link;
    QTimer m_tick;
    bool m_portOpen = false;
    bool m_portLost = false;
    bool m_portLostPending = false;
    bool m_busy = false;
    QString m_portError;
    QStringList m_statusLines;
};
