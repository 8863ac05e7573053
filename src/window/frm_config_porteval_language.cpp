// Applying a language: captions, list entries, tab titles, tooltips and the sample messages.
#include "texts/message_numbers.h"
#include "window/clickable_label.h"
#include "window/frame_monitor.h"
#include "window/frm_config_porteval.h"
#include "window/history_dialog.h"
#include "window/length_limit_validator.h"
#include "window/qt_translation.h"
#include "window/tool_actions.h"
#include "window/tooltip.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

// Message numbers of the captions and tips.
constexpr int kLanguageName = 1;
constexpr int kWindowTitle = 2;
constexpr int kFirstLabel = 5;
constexpr int kFirstOption = 40;
constexpr int kFirstFrame = 50;
constexpr int kModeTip = 60;
constexpr int kFirstMode = 61;
constexpr int kSecondMode = 62;
constexpr int kFirstTab = 65;
constexpr int kFirstButton = 75;
constexpr int kFirstButtonTip = 90;
constexpr int kPortTip = 105;
constexpr int kFirstKeyTip = 106;
constexpr int kOldKeyTip = 122;
constexpr int kFirstMessageTip = 130;
constexpr int kFirstOptionTip = 145;

// The sample text of a message tip: what stands between its first two double quotes.
std::optional<QString> quotedSample(const QString &tip)
{
    const qsizetype open = tip.indexOf(u'"');
    if (open < 0)
        return std::nullopt;
    const qsizetype close = tip.indexOf(u'"', open + 1);
    if (close < 0)
        return std::nullopt;
    return tip.mid(open + 1, close - open - 1);
}

// What a screen reader announces for a box: its label's caption without mnemonic or colon.
QString spokenName(QString caption)
{
    caption.remove(u'&');
    caption = caption.trimmed();
    if (caption.endsWith(u':'))
        caption.chop(1);
    return caption;
}

} // namespace

void frmConfigPorteval::IniMis()
{
    if (!oTooltip)
        oTooltip = std::make_unique<Tooltip>();
    oTooltip->IniTip();

    for (int i = 0; i < 5; ++i)
        cIdioma[i]->setText(m_languages.message(i + 1, kLanguageName));
    setWindowTitle(GetMis(kWindowTitle));
    for (int i = 0; i < 28; ++i)
        lLabel[i]->setText(GetMis(kFirstLabel + i));
    for (int i = 0; i < 8; ++i)
        opCfgMis[i]->setText(GetMis(kFirstOption + i));
    for (int i = 0; i < 8; ++i)
        fFrame[i]->setTitle(GetMis(kFirstFrame + i));

    cCfgMode->clear();
    cCfgMode->addItem(GetMis(kFirstMode));
    cCfgMode->addItem(GetMis(kSecondMode));
    if (!GetMis(kFirstMode).isEmpty())
        cCfgMode->setEditText(GetMis(kFirstMode));
    oTooltip->CreateTip(cCfgMode, GetMis(kModeTip));

    for (int i = 0; i < 4; ++i)
        SSTab1->setTabText(i, GetMis(kFirstTab + i));

    QPushButton *const buttons[]
        = { cmdOpenCOM,      cmdCloseCOM,     cmdGetInfoKeyCard, cmdCfgMaster[0], cmdCfgMaster[1],
            cmdCfgConfig[0], cmdCfgConfig[1], cmdCfgMis[0],      cmdCfgMis[1] };
    for (int i = 0; i < 9; ++i)
        buttons[i]->setText(GetMis(kFirstButton + i));

    for (int i = 0; i < 9; ++i)
        oTooltip->CreateTip(buttons[i], GetMis(kFirstButtonTip + i));
    oTooltip->CreateTip(cEditCfg1, GetMis(kPortTip));
    for (int i = 0; i < 16; ++i)
        oTooltip->CreateTip(txtKey[i], GetMis(kFirstKeyTip + i));
    QLineEdit *const fields[] = { txtOldKey,   txtCfgUART0, txtCfgUART1, txtCfgTRef,
                                  txtCfgTBack, txtNumBloc,  txtIniPos,   txtFinPos };
    for (int i = 0; i < 8; ++i)
        oTooltip->CreateTip(fields[i], GetMis(kOldKeyTip + i));
    for (int i = 0; i < 8; ++i)
        oTooltip->CreateTip(txtCfgMis[i], GetMis(kFirstMessageTip + i));
    for (int i = 0; i < 8; ++i)
        oTooltip->CreateTip(opCfgMis[i], GetMis(kFirstOptionTip + i));

    // A language change replaces the message texts with its own samples, typed text included.
    for (int i = 0; i < 8; ++i) {
        if (const auto sample = quotedSample(GetMis(kFirstMessageTip + i)))
            setProgramText(txtCfgMis[i], *sample);
    }

    // Every box is announced by the caption beside it, in the language shown.
    cEditCfg1->setAccessibleName(spokenName(lLabel[0]->text()));
    for (int i = 0; i < 16; ++i)
        txtKey[i]->setAccessibleName(spokenName(lLabel[2 + i]->text()));
    const std::pair<QWidget *, int> labelled[]
        = { { txtOldKey, 18 },  { txtCfgUART0, 20 }, { txtCfgUART1, 21 },
            { txtCfgTRef, 22 }, { txtCfgTBack, 23 }, { cCfgMode, 24 },
            { txtNumBloc, 25 }, { txtIniPos, 26 },   { txtFinPos, 27 } };
    for (const auto &[box, label] : labelled)
        box->setAccessibleName(spokenName(lLabel[label]->text()));
    for (int i = 0; i < 8; ++i)
        txtCfgMis[i]->setAccessibleName(spokenName(opCfgMis[i]->text()));

    showLanguageSelection();
    showVersionLine();
    if (QtTranslation *qtTexts = QtTranslation::instance())
        qtTexts->use(GetMis(kLanguageName));
    cmdStopWait->setText(GetMis(Mis::StopWait));
    cmdStopWait->setToolTip(GetMis(Mis::StopWaitTip));
    m_tools->retranslate();
    if (m_monitor)
        m_monitor->retranslate();
    if (m_historyDialog)
        m_historyDialog->retranslate();
}

// The label of the current language is underlined and says so to a screen reader; labels of
// empty slots are left out of the Tab order.
void frmConfigPorteval::showLanguageSelection()
{
    for (int i = 0; i < 5; ++i) {
        const bool current = m_languages.iIdioma == i + 1;
        QFont font = cIdioma[i]->font();
        font.setUnderline(current);
        cIdioma[i]->setFont(font);
        cIdioma[i]->setAccessibleDescription(current ? GetMis(Mis::CurrentLanguage) : QString());
        cIdioma[i]->setFocusPolicy(cIdioma[i]->text().isEmpty() ? Qt::NoFocus : Qt::TabFocus);
    }
}

void frmConfigPorteval::setVersionText(const QString &text, bool demo)
{
    m_versionText = text;
    m_demo = demo;
    showVersionLine();
}

void frmConfigPorteval::showVersionLine()
{
    const QString demo = m_demo ? GetMis(Mis::DemoNotice) : QString();
    lVersion->setText(demo.isEmpty() ? m_versionText : m_versionText + u"  \u2013  "_s + demo);
}

void frmConfigPorteval::cIdioma_Click(int index)
{
    if (cIdioma[index]->text().isEmpty())
        return;
    m_languages.iIdioma = qint16(index + 1);
    IniMis();
}
