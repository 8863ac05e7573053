// The program's one window: the port, the key card, the three cards and the language row.
#pragma once

#include "commands/reader_session.h"
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

// The window drives one reader session, the one home of the port and the exchange; its
// handlers keep the design's names and call the session.
class frmConfigPorteval : public QWidget, public ReaderFields
{
    Q_OBJECT

public:
    // `ports` gives the devices behind the port numbers; `languageFolder` holds the language
    // files (the program's own folder); the window's operations go on record in the history
    // file `historyPath`.
    frmConfigPorteval(PortProvider &ports, const QString &languageFolder,
                      const QString &historyPath, QWidget *parent = nullptr);
    ~frmConfigPorteval() override;

    LanguageTable languages; // sMisTable and iIdioma
    ReaderSession session;

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
    // The port control, the timer and the exchange live in the session; these are the
    // design's names for them.
    QTimer &Timer1 = session.Timer1;
    CommControl &ctlMSComm1 = session.ctlMSComm1;
    ReaderLink &link = session.link;

    // Window state, read from the session that keeps it.
    const quint8 &bPortOpen = session.bPortOpen();
    const bool &bEnableCtrls = session.bEnableCtrls();
    const bool &bKeyCardRead = session.bKeyCardRead();
    std::unique_ptr<Tooltip> oTooltip;
    QtTranslation qtTexts; // Qt's own dialogs, buttons and menus in the language shown

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
    void EnableControls(bool bEnable);
    void RefreshControls();
    void cCfgMode_Change();
    void cCfgMode_Click();
    void LoadMisFile();
    void IniMis();
    void cIdioma_Click(int index);
    QString GetMis(int iNumMis) const;
    QString GetMisResp(quint8 bNumResp) const;
    void ShowMisResp(quint8 bNumResp);
    void SetTextStatus(const QString &sText);
    void SetStatus(const QString &sText, quint8 iVal);

    // The exchange, through the session.
    quint8 SendCommand(quint8 iFunction, QString &sTermID, QByteArray &sData);
    quint8 SendCom_RebAns(quint8 iCmdCode, QString &sTermID, QByteArray &sDataSend,
                          QByteArray &sDataReb);

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

    // ReaderFields: the controls the operations read and fill.
    QString keyText(int sector) const override;
    void setKeyText(int sector, const QString &text) override;
    QString oldKeyText() const override;
    int selectedMessage() const override;
    QString messageText(int index) const override;
    ConfigFieldTexts configFieldTexts() const override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void connectHandlers();
    // What the session's status lines and control state do to the widgets.
    void showStatusLine(const QString &text);
    void showControlsEnabled(bool enable);
    void showStopControl();
    // Runs an operation the user started and puts it on record: the one place where the
    // window's operations begin and end.
    void runRecorded(const char *operation, const std::function<quint8()> &handler);
    void historyNotWritten(const QString &error);
    QString portListForTooltip() const;
    void showLanguageSelection();
    void showVersionLine();

    PortProvider &m_ports;
    QString m_languageFolder;
    FrameMonitor *m_monitor = nullptr;
    FrameMonitorModel *m_frames = nullptr;
    OperationRecorder *m_recorder = nullptr;
    HistoryDialog *m_historyDialog = nullptr;
    QString m_versionText;
    bool m_demo = false;
};
