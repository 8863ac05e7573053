// The program's one window: the port, the key card, the three cards and the language row.
#pragma once

#include "commands/operations.h"
#include "commands/reader_session.h"
#include "texts/language_table.h"

#include <QWidget>

#include <array>
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

// The window shows one reader session, the one home of the port, the exchange and the
// operations: its handlers keep the design's names and hand each operation to the session, and
// its controls show what the session says. The controls are found by their object names, which
// are the design's.
class frmConfigPorteval : public QWidget, private ReaderFields
{
    Q_OBJECT

public:
    // `ports` gives the devices behind the port numbers; `languageFolder` holds the language
    // files (the program's own folder); the window's operations go on record in the history
    // file `historyPath`.
    frmConfigPorteval(PortProvider &ports, const QString &languageFolder,
                      const QString &historyPath, QWidget *parent = nullptr);
    ~frmConfigPorteval() override;

    // The version line; in demo mode it says so, in the language shown.
    void setVersionText(const QString &text, bool demo = false);

    const ReaderSession &session() const { return m_session; }
    const LanguageTable &languages() const { return m_languages; }
    // The tips, until the window closes.
    const Tooltip *tooltips() const { return oTooltip.get(); }
    ProfileActions &profiles() const { return *m_profiles; }
    // The frame monitor and the history, made on first use; nullptr before. The monitor's rows
    // are collected from the start.
    FrameMonitor *frameMonitor() const { return m_monitor; }
    FrameMonitorModel &frameRows() const { return *m_frames; }
    HistoryDialog *historyDialog() const { return m_historyDialog; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // Start-up, shut-down and the port. The port handlers and the reader operations return the
    // result their status line ends with.
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

    // Control state and language.
    void RefreshControls();
    void cCfgMode_Change();
    void cCfgMode_Click();
    void IniMis();
    void cIdioma_Click(int index);
    QString GetMis(int iNumMis) const { return m_languages.GetMis(iNumMis); }

    // Escape or the stop control: the wait under way ends as a time-out would.
    void cmdStopWait_Click();

    void createControls();
    void connectHandlers();
    // Runs an operation of the table that the user started, and puts it on record: the one place
    // where the window's operations begin and end.
    quint8 runRecorded(Operation id, int button = 0);
    // What the session's status lines and control state do to the controls.
    void showStatusLine(const OperationStep &step);
    void showControlsEnabled(bool enable);
    void showStopControl();
    QString portListForTooltip() const;
    void showLanguageSelection();
    void showVersionLine();
    // "Find the terminal", the frame monitor and the history, each opened from the tools.
    void openPortFinder();
    void openFrameMonitor();
    void openHistory();

    // ReaderFields: the controls the operations read and fill, and a profile loads.
    QString keyText(int sector) const override;
    void setKeyText(int sector, const QString &text) override;
    QString oldKeyText() const override;
    void setOldKeyText(const QString &text) override;
    int selectedMessage() const override;
    void selectMessage(int index) override;
    QString messageText(int index) const override;
    void setMessageText(int index, const QString &text) override;
    ConfigFieldTexts configFieldTexts() const override;
    void setConfigFieldTexts(const ConfigFieldTexts &texts) override;

    LanguageTable m_languages; // sMisTable and iIdioma
    ReaderSession m_session;
    PortProvider &m_ports;
    QString m_languageFolder;

    // The design's controls, named and indexed as its handlers know them.
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
    std::unique_ptr<Tooltip> oTooltip;

    // Beside the design: the control that ends a wait (over the status line's right end while
    // an operation runs), and the tools of the row under the tabs.
    QToolButton *cmdStopWait = nullptr;
    ToolActions *m_tools = nullptr;
    ProfileActions *m_profiles = nullptr;
    FrameMonitor *m_monitor = nullptr;
    FrameMonitorModel *m_frames = nullptr;
    OperationRecorder *m_recorder = nullptr;
    HistoryDialog *m_historyDialog = nullptr;
    QString m_versionText;
    bool m_demo = false;
};
