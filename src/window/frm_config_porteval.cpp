#include "window/frm_config_porteval.h"

#include "commands/cards.h"
#include "commands/key_card_query.h"
#include "history/history_record.h"
#include "platform/shell.h"
#include "texts/message_numbers.h"
#include "texts/response_text.h"
#include "window/clickable_label.h"
#include "window/control_state.h"
#include "window/frame_monitor.h"
#include "window/frame_monitor_model.h"
#include "window/history_dialog.h"
#include "window/length_limit_validator.h"
#include "window/operation_recorder.h"
#include "window/port_finder.h"
#include "window/profile_actions.h"
#include "window/tool_actions.h"
#include "window/tooltip.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {
constexpr qint16 kTooltipSlots = 150;
} // namespace

frmConfigPorteval::frmConfigPorteval(PortProvider &ports, const QString &languageFolder,
                                     const QString &historyPath, QWidget *parent)
    : QWidget(parent)
    , session(ports, languages)
    , m_ports(ports)
    , m_languageFolder(languageFolder)
    , m_frames(new FrameMonitorModel(languages, this))
    , m_recorder(new OperationRecorder(historyPath, this))
{
    // The operations read and fill this window's controls; its status line, not a list, keeps
    // what they say.
    session.useFields(*this);
    session.keepStatusLines(false);
    createControls();
    connectHandlers();
    // The monitor shows what happened before it was opened too: the frames that led to a
    // failure are there when the technician opens it after one.
    link.setFrameListener([this](const FrameEvent &event) { m_frames->append(event); });
    Form_Load();
}

frmConfigPorteval::~frmConfigPorteval()
{
    // A wait still under way (the window torn down from inside an operation) ends at once.
    link.abortWaits();
    // A port finder still probing, and the monitor and the history as they hide, read the
    // language table, which goes before the children.
    qDeleteAll(findChildren<PortFinder *>(Qt::FindDirectChildrenOnly));
    delete m_historyDialog;
    delete m_monitor;
}

void frmConfigPorteval::connectHandlers()
{
    connect(&session, &ReaderSession::statusChanged, this, &frmConfigPorteval::showStatusLine);
    connect(&session, &ReaderSession::controlsEnabled, this,
            &frmConfigPorteval::showControlsEnabled);
    connect(&session, &ReaderSession::answerAwaited, this, &frmConfigPorteval::showStopControl);
    // Every operation the user starts goes through runRecorded.
    const auto recorded = [this](const char *operation, std::function<quint8()> handler) {
        return [this, operation, handler] {
            runRecorded(operation, handler);
        };
    };
    connect(cmdOpenCOM, &QPushButton::clicked, this,
            recorded("open-port", [this] { return cmdOpenCOM_Click(); }));
    connect(cmdCloseCOM, &QPushButton::clicked, this,
            recorded("close-port", [this] { return cmdCloseCOM_Click(); }));
    connect(lNorvalt, &ClickableLabel::clicked, this, &frmConfigPorteval::lNorvalt_Click);
    connect(cmdGetInfoKeyCard, &QPushButton::clicked, this,
            recorded("read-keys", [this] { return cmdGetInfoKeyCard_Click(); }));
    for (int i = 0; i < 2; ++i) {
        connect(cmdCfgMaster[i], &QPushButton::clicked, this,
                recorded("write-master", [this, i] { return cmdCfgMaster_Click(i); }));
        connect(cmdCfgConfig[i], &QPushButton::clicked, this,
                recorded("write-config", [this, i] { return cmdCfgConfig_Click(i); }));
        connect(cmdCfgMis[i], &QPushButton::clicked, this,
                recorded("write-messages", [this, i] { return cmdCfgMis_Click(i); }));
    }
    for (int i = 0; i < 5; ++i)
        connect(cIdioma[i], &ClickableLabel::clicked, this, [this, i] { cIdioma_Click(i); });
    connect(cCfgMode, &QComboBox::editTextChanged, this, &frmConfigPorteval::cCfgMode_Change);
    connect(cCfgMode, &QComboBox::activated, this, &frmConfigPorteval::cCfgMode_Click);

    connect(cmdStopWait, &QToolButton::clicked, this, &frmConfigPorteval::cmdStopWait_Click);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &frmConfigPorteval::cmdStopWait_Click);
    connect(tools->monitor, &QAction::triggered, this, &frmConfigPorteval::openFrameMonitor);
    connect(tools->beep, &QAction::triggered, this,
            recorded("beep", [this] { return BeepSound(); }));
    connect(tools->findTerminal, &QAction::triggered, this, &frmConfigPorteval::openPortFinder);
    connect(tools->saveProfile, &QAction::triggered, profiles, &ProfileActions::saveWithDialogs);
    connect(tools->loadProfile, &QAction::triggered, profiles, &ProfileActions::loadWithDialog);
    connect(tools->history, &QAction::triggered, this, &frmConfigPorteval::openHistory);
    connect(m_recorder, &OperationRecorder::historyFailed, this,
            &frmConfigPorteval::historyNotWritten);
}

void frmConfigPorteval::runRecorded(const char *operation, const std::function<quint8()> &handler)
{
    const QLatin1String name(operation);
    QJsonObject card;
    if (name == QLatin1String("write-config"))
        card = configCardFields(configFieldTexts());
    else if (name == QLatin1String("write-messages"))
        card = messagesCardFields(selectedMessage() + 1, messageText(selectedMessage()));
    // One started inside another's wait (the controls are off then, so it cannot be a reader
    // operation) is part of that one's record.
    const bool recording = m_recorder->begin(name, cEditCfg1->text(), card);
    const quint8 result = handler();
    if (recording)
        m_recorder->end(result, ctlMSComm1.deviceName());
}

void frmConfigPorteval::historyNotWritten(const QString &error)
{
    SetTextStatus(GetMis(Mis::HistoryNotWritten).arg(error));
}

void frmConfigPorteval::Form_Load()
{
    // The design's size, or what the captions of this platform's font need if that is more.
    setFixedSize(minimumSizeHint().expandedTo(QSize(443, 499)));
    for (QPushButton *hidden : { cmdCfgMaster[1], cmdCfgConfig[1], cmdCfgMis[1] })
        hidden->move(hidden->parentWidget()->width() - hidden->sizeHint().width() - 6, 0);
    if (const QScreen *screen = this->screen()) {
        const QRect available = screen->availableGeometry();
        move(available.x() + (available.width() - width()) / 2,
             available.y() + (available.height() - height()) / 2);
    }
    lNorvalt->setText(QUrl(QStringLiteral(PORTEVAL_WEB_URL)).host());

    EnableControls(false);
    session.resetState();
    if (!oTooltip)
        oTooltip = std::make_unique<Tooltip>();
    oTooltip->IniMaxTip(kTooltipSlots);
    // Below the port box's own tip, the ports as they are numbered when the tip shows.
    oTooltip->setTextSupplement(cEditCfg1, [this] { return portListForTooltip(); });
    LoadMisFile();
    IniMis();
    EnableControls(true);
}

void frmConfigPorteval::Form_QueryUnload()
{
    if (m_monitor)
        m_monitor->close();
    if (m_historyDialog)
        m_historyDialog->close();
    oTooltip.reset();
    // The operation under way, if any, stops waiting; its remaining commands fail at once.
    link.abortWaits();
}

void frmConfigPorteval::closeEvent(QCloseEvent *event)
{
    Form_QueryUnload();
    event->accept();
}

QString frmConfigPorteval::portListForTooltip() const
{
    QStringList lines;
    for (const NumberedPort &port : m_ports.numberedPorts()) {
        QString line = QString::number(port.number) + u": "_s
            + (port.simulated ? GetMis(Mis::SimulatedPort) : port.device);
        if (!port.description.isEmpty())
            line += u"  "_s + port.description;
        lines << line;
    }
    return lines.isEmpty() ? u"(-)"_s : lines.join(u'\n');
}

quint8 frmConfigPorteval::cmdOpenCOM_Click()
{
    return session.openPort(cEditCfg1->text());
}

quint8 frmConfigPorteval::cmdCloseCOM_Click()
{
    return session.closePort();
}

void frmConfigPorteval::lNorvalt_Click()
{
    openInDefaultBrowser(QUrl(QStringLiteral(PORTEVAL_WEB_URL)));
}

quint8 frmConfigPorteval::cmdGetInfoKeyCard_Click()
{
    return ::cmdGetInfoKeyCard(session);
}

quint8 frmConfigPorteval::cmdCfgMaster_Click(int index)
{
    return ::cmdCfgMaster(session, index);
}

quint8 frmConfigPorteval::cmdCfgConfig_Click(int index)
{
    return ::cmdCfgConfig(session, index);
}

quint8 frmConfigPorteval::cmdCfgMis_Click(int index)
{
    return ::cmdCfgMis(session, index);
}

quint8 frmConfigPorteval::GetFWVersion()
{
    return ::GetFWVersion(session);
}

quint8 frmConfigPorteval::BeepSound()
{
    return ::BeepSound(session);
}

void frmConfigPorteval::EnableControls(bool bEnable)
{
    session.EnableControls(bEnable);
}

void frmConfigPorteval::showControlsEnabled(bool enable)
{
    RefreshControls();
    if (enable)
        cmdStopWait->hide();
}

void frmConfigPorteval::RefreshControls()
{
    const ControlEnables e
        = controlEnables({ bPortOpen, bEnableCtrls, bKeyCardRead, cCfgMode->currentText() });
    cmdOpenCOM->setEnabled(e.openPort);
    cEditCfg1->setEnabled(e.openPort);
    cmdCloseCOM->setEnabled(e.portOpenActions);
    cmdGetInfoKeyCard->setEnabled(e.portOpenActions);
    for (QPushButton *button : { cmdCfgMaster[0], cmdCfgMaster[1], cmdCfgConfig[0], cmdCfgConfig[1],
                                 cmdCfgMis[0], cmdCfgMis[1] }) {
        button->setEnabled(e.cardButtons);
    }
    for (QWidget *widget : std::initializer_list<QWidget *> {
             fFrame[6], txtNumBloc, txtIniPos, txtFinPos, lLabel[25], lLabel[26], lLabel[27] }) {
        widget->setEnabled(e.dataBlock);
    }
    tools->setStates(bEnableCtrls, bPortOpen != 0);
}

void frmConfigPorteval::cCfgMode_Change()
{
    RefreshControls();
}

void frmConfigPorteval::cCfgMode_Click()
{
    RefreshControls();
}

void frmConfigPorteval::LoadMisFile()
{
    languages.LoadMisFile(m_languageFolder);
}

QString frmConfigPorteval::GetMis(int iNumMis) const
{
    return languages.GetMis(iNumMis);
}

QString frmConfigPorteval::GetMisResp(quint8 bNumResp) const
{
    return ::GetMisResp(bNumResp, languages);
}

void frmConfigPorteval::ShowMisResp(quint8 bNumResp)
{
    session.ShowMisResp(bNumResp);
}

void frmConfigPorteval::SetTextStatus(const QString &sText)
{
    session.SetTextStatus(sText);
}

void frmConfigPorteval::showStatusLine(const QString &text)
{
    m_recorder->statusLine(text);
    txtStatus->setText(text);
    RefreshControls();
}

void frmConfigPorteval::SetStatus(const QString &sText, quint8 iVal)
{
    SetTextStatus(statusWithResult(sText, iVal));
}

quint8 frmConfigPorteval::SendCommand(quint8 iFunction, QString &sTermID, QByteArray &sData)
{
    return session.SendCommand(iFunction, sTermID, sData);
}

quint8 frmConfigPorteval::SendCom_RebAns(quint8 iCmdCode, QString &sTermID, QByteArray &sDataSend,
                                         QByteArray &sDataReb)
{
    return session.SendCom_RebAns(iCmdCode, sTermID, sDataSend, sDataReb);
}

void frmConfigPorteval::showStopControl()
{
    if (!cmdStopWait->isHidden())
        return;
    const int width = cmdStopWait->sizeHint().width();
    cmdStopWait->setGeometry(txtStatus->width() - width, 0, width, txtStatus->height());
    cmdStopWait->show();
}

void frmConfigPorteval::cmdStopWait_Click()
{
    link.endWait();
}

void frmConfigPorteval::openPortFinder()
{
    auto *finder = new PortFinder(m_ports, languages, this);
    finder->setAttribute(Qt::WA_DeleteOnClose);
    connect(finder, &PortFinder::portChosen, cEditCfg1, &QLineEdit::setText);
    // Each port asked is an operation of its own on record.
    connect(finder, &PortFinder::portAsked, m_recorder, &OperationRecorder::recordOutcome);
    finder->open();
}

void frmConfigPorteval::openFrameMonitor()
{
    if (!m_monitor) {
        m_monitor = new FrameMonitor(*m_frames, languages, this);
        m_monitor->placeBeside(this);
    }
    m_monitor->show();
    m_monitor->raise();
    m_monitor->activateWindow();
}

void frmConfigPorteval::openHistory()
{
    if (!m_historyDialog) {
        m_historyDialog = new HistoryDialog(m_recorder->path(), languages, this);
        connect(m_recorder, &OperationRecorder::recorded, m_historyDialog,
                &HistoryDialog::addRecord);
    }
    m_historyDialog->reload();
    m_historyDialog->show();
    m_historyDialog->raise();
    m_historyDialog->activateWindow();
}

QString frmConfigPorteval::keyText(int sector) const
{
    return txtKey[sector]->text();
}

void frmConfigPorteval::setKeyText(int sector, const QString &text)
{
    setProgramText(txtKey[sector], text);
}

QString frmConfigPorteval::oldKeyText() const
{
    return txtOldKey->text();
}

int frmConfigPorteval::selectedMessage() const
{
    return qMax(0, opCfgMisGroup->checkedId());
}

QString frmConfigPorteval::messageText(int index) const
{
    return txtCfgMis[index]->text();
}

ConfigFieldTexts frmConfigPorteval::configFieldTexts() const
{
    return {
        txtCfgUART0->text(), txtCfgUART1->text(), cCfgMode->currentText(), txtIniPos->text(),
        txtFinPos->text(),   txtNumBloc->text(),  txtCfgTRef->text(),      txtCfgTBack->text()
    };
}
