// The program's one window: the port, the key card, the three cards and the language row.
#pragma once

#include "commands/reader_window.h"
#include "link/exchange.h"
#include "platform/comm_control.h"
#include "texts/language_table.h"
#include "window/qt_translation.h"

#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class ClickableLabel;
class FrameMonitor;
class FrameMonitorModel;
class HistoryDialog;
class OperationRecorder;
class ProfileActions;
class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolButton;
class ToolActions;
class Tooltip;

class frmConfigPorteval : public QWidget, public ReaderWindow, public LinkHost
{
    Q_OBJECT

public:
    // `ports` gives the devices behind the port numbers; `languageFolder` holds the language
    // files (the program's own folder).
    frmConfigPorteval(PortProvider &ports, const QString &languageFolder,
                      QWidget *parent = nullptr);
    ~frmConfigPorteval() override;

    // The version line; in demo mode it says so, in the language shown.
    void setVersionText(const QString &text, bool demo = false);

    // Controls, named and indexed as the handlers know them.
    std::array<ClickableLabel *, 5> cIdioma {};
    std::array<QGroupBox *, 8> fFrame {};
    std::array<QLabel *, 28> lLabel {};
    QLineEdit *cEditCfg1 = nullptr;
    QPushButton *cmdOpenCOM = nullptr;
    QPushButton *cmdCloseCOM = nullptr;
    QWidget *Picture2 = nullptr;
    QLabel *Picture1 = nullptr;
    ClickableLabel *lNorvalt = nullptr;
    QLabel *txtStatus = nullptr;
    QTabWidget *SSTab1 = nullptr;
    std::array<QLineEdit *, 16> txtKey {};
    QPushButton *cmdGetInfoKeyCard = nullptr;
    QLineEdit *txtOldKey = nullptr;
    std::array<QPushButton *, 2> cmdCfgMaster {};
    QLineEdit *txtCfgUART0 = nullptr;
    QLineEdit *txtCfgUART1 = nullptr;
    QLineEdit *txtCfgTRef = nullptr;
    QLineEdit *txtCfgTBack = nullptr;
    QComboBox *cCfgMode = nullptr;
    QLineEdit *txtNumBloc = nullptr;
    QLineEdit *txtIniPos = nullptr;
    QLineEdit *txtFinPos = nullptr;
    std::array<QPushButton *, 2> cmdCfgConfig {};
    std::array<QRadioButton *, 8> opCfgMis {};
    QButtonGroup *opCfgMisGroup = nullptr;
    std::array<QLineEdit *, 8> txtCfgMis {};
    std::array<QPushButton *, 2> cmdCfgMis {};
    QLabel *lVersion = nullptr;
    // Beside the design: the control that ends a wait (over the status line's right end while
    // an operation runs), and the tools of the row under the tabs.
    QToolButton *cmdStopWait = nullptr;
    ToolActions *tools = nullptr;
    ProfileActions *profiles = nullptr;
    QTimer Timer1;
    CommControl ctlMSComm1;

    // Window state.
    quint8 bPortOpen = 0;
    bool bEnableCtrls = false;
    bool bKeyCardRead = false;
    LanguageTable languages; // sMisTable and iIdioma
    std::unique_ptr<Tooltip> oTooltip;
    QtTranslation qtTexts; // Qt's own dialogs, buttons and menus in the language shown
    ReaderLink link;

    // Start-up, shut-down and the port.
    // The port handlers and the reader operations return the result their status line ends
    // with, for the history.
    void Form_Load();
    void Form_QueryUnload();
    quint8 cmdOpenCOM_Click();
    quint8 cmdCloseCOM_Click();
    void lNorvalt_Click();

    // Reader operations.
    quint8 cmdGetInfoKeyCard_Click();
    quint8 cmdCfgMaster_Click(int index);
    quint8 cmdCfgConfig_Click(int index);
    quint8 cmdCfgMis_Click(int index);
    quint8 GetFWVersion();
    quint8 BeepSound();

    // Control state, language and status line.
    void EnableControls(bool bEnable) override;
    void RefreshControls();
    void cCfgMode_Change();
    void cCfgMode_Click();
    void LoadMisFile();
    void IniMis();
    void cIdioma_Click(int index);
    QString GetMis(int iNumMis) const override;
    QString GetMisResp(quint8 bNumResp) const override;
    void ShowMisResp(quint8 bNumResp) override;
    void SetTextStatus(const QString &sText) override;
    void SetStatus(const QString &sText, quint8 iVal);

    // The exchange and its events.
    quint8 SendCommand(quint8 iFunction, QString &sTermID, QByteArray &sData) override;
    quint8 SendCom_RebAns(quint8 iCmdCode, QString &sTermID, QByteArray &sDataSend,
                          QByteArray &sDataReb) override;
    void ctlMSComm1_OnComm();
    void Timer1_Timer();

    // The device went away: the wait under way ends, the port is closed as "Cerrar COM" closes
    // it, and the status line says so once the operation under way has ended.
    void ctlMSComm1_PortLost(const QString &reason);
    // Escape or the stop control: the wait under way ends as a time-out would.
    void cmdStopWait_Click();

    // "Find the terminal": the port finder, over the ports this window opens.
    void openPortFinder();

    // The frame monitor, made on first use; nullptr before. Its rows are collected from the
    // start.
    void openFrameMonitor();
    FrameMonitor *frameMonitor() const { return m_monitor; }
    FrameMonitorModel &frameRows() const { return *m_frames; }

    // Tools > History, made on first use; nullptr before.
    void openHistory();
    HistoryDialog *historyDialog() const { return m_historyDialog; }

    // ReaderWindow: the controls the operations read and fill.
    void setKeyCardRead() override { bKeyCardRead = true; }
    QString keyText(int sector) const override;
    void setKeyText(int sector, const QString &text) override;
    QString oldKeyText() const override;
    int selectedMessage() const override;
    QString messageText(int index) const override;
    ConfigFieldTexts configFieldTexts() const override;

    // LinkHost
    bool linkPortOpen() const override { return bPortOpen == 1; }
    void linkOutput(const QByteArray &frame) override { ctlMSComm1.Output(frame); }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void connectHandlers();
    // Runs an operation the user started and puts it on record: the one place where the
    // window's operations begin and end.
    void runRecorded(const char *operation, const std::function<quint8()> &handler);
    QString portListForTooltip() const;
    void showLanguageSelection();
    void showVersionLine();

    PortProvider &m_ports;
    QString m_languageFolder;
    FrameMonitor *m_monitor = nullptr;
    FrameMonitorModel *m_frames = nullptr;
    OperationRecorder *m_recorder = nullptr;
    HistoryDialog *m_historyDialog = nullptr;
    bool m_portLostPending = false;
    QString m_versionText;
    bool m_demo = false;
};
