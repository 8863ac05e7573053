#include "window/frm_config_porteval.h"

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
    , m_session(ports, m_languages)
    , m_ports(ports)
    , m_languageFolder(languageFolder)
    , m_frames(new FrameMonitorModel(m_languages, this))
    , m_recorder(new OperationRecorder(historyPath, this))
{
    // The operations read and fill this window's controls; its status line, not a list, keeps
    // what they say.
    m_session.useFields(*this);
    m_session.keepSteps(false);
    createControls();
    connectHandlers();
    // The monitor shows what happened before it was opened too: the frames that led to a
    // failure are there when the technician opens it after one.
    m_session.setFrameListener([this](const FrameEvent &event) { m_frames->append(event); });
    Form_Load();
}

frmConfigPorteval::~frmConfigPorteval()
{
    // A wait still under way (the window torn down from inside an operation) ends at once.
    m_session.abortWaits();
    // A port finder still probing, and the monitor and the history as they hide, read the
    // language table, which goes before the children.
    qDeleteAll(findChildren<PortFinder *>(Qt::FindDirectChildrenOnly));
    delete m_historyDialog;
    delete m_monitor;
}

void frmConfigPorteval::connectHandlers()
{
    connect(&m_session, &ReaderSession::statusChanged, this, &frmConfigPorteval::showStatusLine);
    connect(&m_session, &ReaderSession::controlsEnabled, this,
            &frmConfigPorteval::showControlsEnabled);
    connect(&m_session, &ReaderSession::answerAwaited, this, &frmConfigPorteval::showStopControl);
    connect(cmdOpenCOM, &QPushButton::clicked, this, &frmConfigPorteval::cmdOpenCOM_Click);
    connect(cmdCloseCOM, &QPushButton::clicked, this, &frmConfigPorteval::cmdCloseCOM_Click);
    connect(lNorvalt, &ClickableLabel::clicked, this, &frmConfigPorteval::lNorvalt_Click);
    connect(cmdGetInfoKeyCard, &QPushButton::clicked, this,
            &frmConfigPorteval::cmdGetInfoKeyCard_Click);
    for (int i = 0; i < 2; ++i) {
        connect(cmdCfgMaster[i], &QPushButton::clicked, this, [this, i] { cmdCfgMaster_Click(i); });
        connect(cmdCfgConfig[i], &QPushButton::clicked, this, [this, i] { cmdCfgConfig_Click(i); });
        connect(cmdCfgMis[i], &QPushButton::clicked, this, [this, i] { cmdCfgMis_Click(i); });
    }
    for (int i = 0; i < 5; ++i)
        connect(cIdioma[i], &ClickableLabel::clicked, this, [this, i] { cIdioma_Click(i); });
    connect(cCfgMode, &QComboBox::editTextChanged, this, &frmConfigPorteval::cCfgMode_Change);
    connect(cCfgMode, &QComboBox::activated, this, &frmConfigPorteval::cCfgMode_Click);

    connect(cmdStopWait, &QToolButton::clicked, this, &frmConfigPorteval::cmdStopWait_Click);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &frmConfigPorteval::cmdStopWait_Click);
    connect(m_tools->monitor, &QAction::triggered, this, &frmConfigPorteval::openFrameMonitor);
    connect(m_tools->beep, &QAction::triggered, this, [this] { runRecorded(Operation::Beep); });
    connect(m_tools->findTerminal, &QAction::triggered, this, &frmConfigPorteval::openPortFinder);
    connect(m_tools->saveProfile, &QAction::triggered, m_profiles,
            &ProfileActions::saveWithDialogs);
    connect(m_tools->loadProfile, &QAction::triggered, m_profiles, &ProfileActions::loadWithDialog);
    connect(m_tools->history, &QAction::triggered, this, &frmConfigPorteval::openHistory);
    connect(m_recorder, &OperationRecorder::historyFailed, this, [this](const QString &error) {
        m_session.SetTextStatus(GetMis(Mis::HistoryNotWritten).arg(error));
    });
    connect(m_recorder, &OperationRecorder::historyNotConfirmed, this,
            [this](const QString &error) {
                m_session.SetTextStatus(GetMis(Mis::HistoryNotConfirmed).arg(error));
            });
}

quint8 frmConfigPorteval::runRecorded(Operation id, int button)
{
    // One started inside another's wait (the controls are off then, so it cannot be a reader
    // operation) is part of that one's record.
    const QString port = cEditCfg1->text();
    const bool recording
        = m_recorder->begin(operationEntry(id).name, port, recordedCard(id, *this));
    const quint8 result = m_session.run(id, { port, button });
    if (recording)
        m_recorder->end(result, m_session.deviceName());
    return result;
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

    m_session.EnableControls(false);
    m_session.resetState();
    if (!oTooltip)
        oTooltip = std::make_unique<Tooltip>();
    oTooltip->IniMaxTip(kTooltipSlots);
    // Below the port box's own tip, the ports as they are numbered when the tip shows.
    oTooltip->setTextSupplement(cEditCfg1, [this] { return portListForTooltip(); });
    m_languages.LoadMisFile(m_languageFolder);
    IniMis();
    m_session.EnableControls(true);
}

void frmConfigPorteval::Form_QueryUnload()
{
    if (m_monitor)
        m_monitor->close();
    if (m_historyDialog)
        m_historyDialog->close();
    oTooltip.reset();
    // The operation under way, if any, stops waiting; its remaining commands fail at once.
    m_session.abortWaits();
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
    return runRecorded(Operation::OpenPort);
}

quint8 frmConfigPorteval::cmdCloseCOM_Click()
{
    return runRecorded(Operation::ClosePort);
}

void frmConfigPorteval::lNorvalt_Click()
{
    openInDefaultBrowser(QUrl(QStringLiteral(PORTEVAL_WEB_URL)));
}

quint8 frmConfigPorteval::cmdGetInfoKeyCard_Click()
{
    return runRecorded(Operation::ReadKeys);
}

quint8 frmConfigPorteval::cmdCfgMaster_Click(int index)
{
    return runRecorded(Operation::WriteMaster, index);
}

quint8 frmConfigPorteval::cmdCfgConfig_Click(int index)
{
    return runRecorded(Operation::WriteConfig, index);
}

quint8 frmConfigPorteval::cmdCfgMis_Click(int index)
{
    return runRecorded(Operation::WriteMessages, index);
}

void frmConfigPorteval::showControlsEnabled(bool enable)
{
    RefreshControls();
    if (enable)
        cmdStopWait->hide();
}

void frmConfigPorteval::RefreshControls()
{
    const ControlEnables e = controlEnables({ m_session.bPortOpen(), m_session.bEnableCtrls(),
                                              m_session.bKeyCardRead(), cCfgMode->currentText() });
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
    m_tools->setStates(m_session.bEnableCtrls(), m_session.portOpen());
}

void frmConfigPorteval::cCfgMode_Change()
{
    RefreshControls();
}

void frmConfigPorteval::cCfgMode_Click()
{
    RefreshControls();
}

void frmConfigPorteval::showStatusLine(const OperationStep &step)
{
    m_recorder->statusLine(step.line);
    txtStatus->setText(step.line);
    RefreshControls();
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
    m_session.endWait();
}

void frmConfigPorteval::openPortFinder()
{
    auto *finder = new PortFinder(m_ports, m_languages, this);
    finder->setAttribute(Qt::WA_DeleteOnClose);
    connect(finder, &PortFinder::portChosen, cEditCfg1, &QLineEdit::setText);
    // Each port asked is an operation of its own on record.
    connect(finder, &PortFinder::portAsked, m_recorder, &OperationRecorder::recordOutcome);
    finder->open();
}

void frmConfigPorteval::openFrameMonitor()
{
    if (!m_monitor) {
        m_monitor = new FrameMonitor(*m_frames, m_languages, this);
        m_monitor->placeBeside(this);
    }
    m_monitor->show();
    m_monitor->raise();
    m_monitor->activateWindow();
}

void frmConfigPorteval::openHistory()
{
    if (!m_historyDialog) {
        m_historyDialog = new HistoryDialog(m_recorder->path(), m_languages, this);
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

void frmConfigPorteval::setOldKeyText(const QString &text)
{
    setProgramText(txtOldKey, text);
}

int frmConfigPorteval::selectedMessage() const
{
    return qMax(0, opCfgMisGroup->checkedId());
}

void frmConfigPorteval::selectMessage(int index)
{
    opCfgMis[index]->setChecked(true);
}

QString frmConfigPorteval::messageText(int index) const
{
    return txtCfgMis[index]->text();
}

void frmConfigPorteval::setMessageText(int index, const QString &text)
{
    setProgramText(txtCfgMis[index], text);
}

ConfigFieldTexts frmConfigPorteval::configFieldTexts() const
{
    return {
        txtCfgUART0->text(), txtCfgUART1->text(), cCfgMode->currentText(), txtIniPos->text(),
        txtFinPos->text(),   txtNumBloc->text(),  txtCfgTRef->text(),      txtCfgTBack->text()
    };
}

void frmConfigPorteval::setConfigFieldTexts(const ConfigFieldTexts &texts)
{
    const std::pair<QLineEdit *, QString> boxes[]
        = { { txtCfgUART0, texts.uart0 },        { txtCfgUART1, texts.uart1 },
            { txtIniPos, texts.startPosition },  { txtFinPos, texts.endPosition },
            { txtNumBloc, texts.blockNumber },   { txtCfgTRef, texts.refreshTime },
            { txtCfgTBack, texts.backlightTime } };
    for (const auto &[box, text] : boxes)
        setProgramText(box, text);
    cCfgMode->setEditText(texts.mode);
}
