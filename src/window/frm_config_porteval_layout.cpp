// The window's controls: names, containers, design texts, limits and where they sit. The
// language texts replace the captions later; the value boxes keep their design texts as the
// card fields' defaults.
#include "window/clickable_label.h"
#include "window/frm_config_porteval.h"
#include "window/length_limit_validator.h"
#include "window/profile_actions.h"
#include "window/tool_actions.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int kKeyLength = 12;
constexpr int kMessageBoxLength = 20;
const QColor kReadOnlyYellow(255, 255, 192);
const QColor kCaptionBlue(0, 0, 192);

template<typename T> T *named(T *widget, const QString &name)
{
    widget->setObjectName(name);
    return widget;
}

QString indexed(const char *name, int index)
{
    return QLatin1String(name) + u'_' + QString::number(index);
}

QLineEdit *textBox(QWidget *parent, const QString &name, const QString &text, int maxLength)
{
    auto *box = named(new QLineEdit(text, parent), name);
    box->setValidator(new LengthLimitValidator(maxLength, box));
    return box;
}

// Boxes the program fills and the user only reads: no typing, light yellow, text still legible.
void makeReadOnlyYellow(QLineEdit *box)
{
    box->setEnabled(false);
    QPalette palette = box->palette();
    for (auto group : { QPalette::Active, QPalette::Inactive, QPalette::Disabled }) {
        palette.setColor(group, QPalette::Base, kReadOnlyYellow);
        palette.setColor(group, QPalette::Text, Qt::black);
    }
    box->setPalette(palette);
}

QFont scaledFont(QFont font, double pointSize, bool bold)
{
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * pointSize / 8.25);
    font.setBold(bold);
    return font;
}

void setTextColor(QWidget *widget, const QColor &color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

// The "Set Card" twin of a card button: it exists with caption, tip and enabled state, but
// nothing ever shows it.
QPushButton *hiddenCardButton(QWidget *frame, const QString &name)
{
    auto *button = named(new QPushButton(u"Set Card"_s, frame), name);
    button->move(frame->width() - 90, 0);
    button->hide();
    return button;
}

} // namespace

void frmConfigPorteval::createControls()
{
    // The texts the fields open with, as every session starts with them.
    const ReaderFieldValues start;
    setObjectName(u"frmConfigPorteval"_s);
    setWindowTitle(u"Porteval - Programa demo"_s);
    if (QFontDatabase::families().contains(u"Tahoma"_s)) {
        QFont tahoma(u"Tahoma"_s);
        tahoma.setPointSizeF(8.25);
        setFont(tahoma);
    }
    // Tips show on an inactive window too.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    const QFont captionFont = scaledFont(font(), 9.75, true);

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(6, 4, 6, 2);
    root->setSpacing(3);

    // Top strip: language row on the right, port frame on the left, logo and link beside it.
    auto *languageRow = new QHBoxLayout;
    languageRow->addStretch(1);
    for (int i = 0; i < 5; ++i) {
        auto *label = named(new ClickableLabel(u"--------"_s, this), indexed("cIdioma", i));
        label->setFont(scaledFont(font(), 8.25, true));
        setTextColor(label, kCaptionBlue);
        label->setCursor(Qt::PointingHandCursor);
        label->setFocusPolicy(Qt::TabFocus);
        languageRow->addWidget(label);
        cIdioma[i] = label;
    }
    languageRow->setSpacing(10);
    root->addLayout(languageRow);

    auto *top = new QHBoxLayout;
    fFrame[0] = named(new QGroupBox(u"Canal de comunicaciones"_s, this), indexed("fFrame", 0));
    auto *portGrid = new QGridLayout(fFrame[0]);
    portGrid->setContentsMargins(6, 4, 6, 6);
    lLabel[0] = named(new QLabel(u"Port number:"_s, fFrame[0]), indexed("lLabel", 0));
    cEditCfg1 = textBox(fFrame[0], u"cEditCfg1"_s, u"1"_s, 260);
    cEditCfg1->setMaximumWidth(72);
    lLabel[0]->setBuddy(cEditCfg1);
    lLabel[1] = named(new QLabel(u"Speed: 38400, N, 1"_s, fFrame[0]), indexed("lLabel", 1));
    cmdOpenCOM = named(new QPushButton(u"Abrir COM"_s, fFrame[0]), u"cmdOpenCOM"_s);
    cmdCloseCOM = named(new QPushButton(u"Cerrar COM"_s, fFrame[0]), u"cmdCloseCOM"_s);
    portGrid->addWidget(lLabel[0], 0, 0);
    portGrid->addWidget(cEditCfg1, 0, 1);
    portGrid->addWidget(lLabel[1], 1, 0, 1, 2);
    auto *portButtons = new QHBoxLayout;
    portButtons->addWidget(cmdOpenCOM, 1);
    portButtons->addWidget(cmdCloseCOM, 1);
    portGrid->addLayout(portButtons, 2, 0, 1, 2);
    top->addWidget(fFrame[0], 1);

    Picture2 = named(new QWidget(this), u"Picture2"_s);
    Picture2->setAutoFillBackground(true);
    QPalette white = Picture2->palette();
    white.setColor(QPalette::Window, Qt::white);
    Picture2->setPalette(white);
    auto *pictureColumn = new QVBoxLayout(Picture2);
    pictureColumn->setContentsMargins(4, 4, 4, 2);
    pictureColumn->setSpacing(0);
    Picture1 = named(new QLabel(Picture2), u"Picture1"_s);
    Picture1->setPixmap(QPixmap(u":/porteval/logo.png"_s));
    Picture1->setFixedSize(206, 58);
    lNorvalt = named(new ClickableLabel(Picture2), u"lNorvalt"_s);
    lNorvalt->setFont(scaledFont(font(), 9.75, true));
    setTextColor(lNorvalt, Qt::blue);
    lNorvalt->setCursor(Qt::PointingHandCursor);
    lNorvalt->setFocusPolicy(Qt::TabFocus);
    lNorvalt->setAlignment(Qt::AlignCenter);
    pictureColumn->addWidget(Picture1, 0, Qt::AlignCenter);
    pictureColumn->addWidget(lNorvalt);
    top->addWidget(Picture2, 0);
    root->addLayout(top);

    txtStatus = named(new QLabel(u"----"_s, this), u"txtStatus"_s);
    txtStatus->setFont(captionFont);
    setTextColor(txtStatus, kCaptionBlue);
    txtStatus->setMinimumWidth(1); // a long line is cut at the window's edge, never widens it
    txtStatus->setTextFormat(Qt::PlainText);
    root->addWidget(txtStatus);
    // Over the status line's right end, out of every layout, so that showing it moves nothing.
    cmdStopWait = named(new QToolButton(txtStatus), u"cmdStopWait"_s);
    cmdStopWait->setFocusPolicy(Qt::NoFocus); // Escape does it from the keyboard
    cmdStopWait->setToolButtonStyle(Qt::ToolButtonTextOnly);
    cmdStopWait->hide();

    SSTab1 = named(new QTabWidget(this), u"SSTab1"_s);
    root->addWidget(SSTab1, 1);
    const QString tabTitles[]
        = { u"Key Card"_s, u"Master Card"_s, u"Configuración"_s, u"Conf. Mensajes"_s };
    auto addTab = [&](int frameIndex, const QString &caption, const QString &title) {
        auto *page = new QWidget(SSTab1);
        auto *pageLayout = new QVBoxLayout(page);
        pageLayout->setContentsMargins(4, 4, 4, 4);
        fFrame[frameIndex] = named(new QGroupBox(caption, page), indexed("fFrame", frameIndex));
        pageLayout->addWidget(fFrame[frameIndex]);
        SSTab1->addTab(page, title);
        return fFrame[frameIndex];
    };

    // Tab 0: the sixteen sector keys, sectors 0-7 on the left and 8-15 on the right.
    QGroupBox *keys = addTab(1, u"Gestión de Keys"_s, tabTitles[0]);
    auto *keyGrid = new QGridLayout(keys);
    keyGrid->setVerticalSpacing(3);
    keyGrid->setHorizontalSpacing(6);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (int i = 0; i < 16; ++i) {
        lLabel[2 + i] = named(new QLabel(u"Sector %1:"_s.arg(i), keys), indexed("lLabel", 2 + i));
        txtKey[i] = textBox(keys, indexed("txtKey", i), QString(), kKeyLength);
        QFont keyFont = fixed;
        keyFont.setPointSizeF(font().pointSizeF());
        txtKey[i]->setFont(keyFont);
        // Room for the 12 digits of a key and no more, so that two columns fit the tab.
        txtKey[i]->setFixedWidth(QFontMetrics(keyFont).horizontalAdvance(u"0"_s) * 12 + 14);
        makeReadOnlyYellow(txtKey[i]);
        lLabel[2 + i]->setBuddy(txtKey[i]);
        const int row = i % 8;
        const int column = (i / 8) * 3;
        keyGrid->addWidget(lLabel[2 + i], row, column);
        keyGrid->addWidget(txtKey[i], row, column + 1);
    }
    keyGrid->setColumnMinimumWidth(2, 10);
    cmdGetInfoKeyCard
        = named(new QPushButton(u"GetInfoKeyCard (0x72)"_s, keys), u"cmdGetInfoKeyCard"_s);
    keyGrid->setRowStretch(8, 1);
    keyGrid->addWidget(cmdGetInfoKeyCard, 9, 0, 1, 5, Qt::AlignHCenter);

    // Tab 1: the master card.
    QGroupBox *master = addTab(2, u"Master"_s, tabTitles[1]);
    auto *masterGrid = new QGridLayout(master);
    lLabel[18] = named(new QLabel(u"Old Key (sector 1):"_s, master), indexed("lLabel", 18));
    txtOldKey = textBox(master, u"txtOldKey"_s, start.oldKey, kKeyLength);
    txtOldKey->setFont(txtKey[0]->font());
    lLabel[18]->setBuddy(txtOldKey);
    lLabel[19] = named(new QLabel(u"Nota: Campo de 12 caracteres hexadecimales."_s, master),
                       indexed("lLabel", 19));
    lLabel[19]->setWordWrap(true);
    cmdCfgMaster[0]
        = named(new QPushButton(u"Init + Set Card"_s, master), indexed("cmdCfgMaster", 0));
    cmdCfgMaster[1] = hiddenCardButton(master, indexed("cmdCfgMaster", 1));
    masterGrid->addWidget(lLabel[18], 0, 0);
    masterGrid->addWidget(txtOldKey, 0, 1);
    masterGrid->setColumnStretch(2, 1);
    masterGrid->setRowStretch(1, 1);
    masterGrid->addWidget(lLabel[19], 2, 0, 1, 3);
    masterGrid->addWidget(cmdCfgMaster[0], 3, 0, 1, 3, Qt::AlignHCenter);

    // Tab 2: the configuration card.
    QGroupBox *config = addTab(3, u"Configuración lector"_s, tabTitles[2]);
    auto *configGrid = new QGridLayout(config);
    auto fieldFrame = [&](int frameIndex, const QString &caption) {
        auto *frame = named(new QGroupBox(caption, config), indexed("fFrame", frameIndex));
        fFrame[frameIndex] = frame;
        return frame;
    };
    auto field = [&](QGridLayout *grid, int row, int labelIndex, const QString &caption,
                     const QString &name, const QString &text) {
        QWidget *parent = grid->parentWidget();
        lLabel[labelIndex] = named(new QLabel(caption, parent), indexed("lLabel", labelIndex));
        auto *box = textBox(parent, name, text, 260);
        box->setMaximumWidth(70);
        lLabel[labelIndex]->setBuddy(box);
        grid->addWidget(lLabel[labelIndex], row, 0);
        grid->addWidget(box, row, 1);
        return box;
    };
    auto *ports = new QGridLayout(fieldFrame(4, u"Configuración de puertos"_s));
    txtCfgUART0 = field(ports, 0, 20, u"Config. UART0:"_s, u"txtCfgUART0"_s, start.config.uart0);
    txtCfgUART1 = field(ports, 1, 21, u"Config. UART1:"_s, u"txtCfgUART1"_s, start.config.uart1);
    auto *times = new QGridLayout(fieldFrame(5, u"Tiempos"_s));
    txtCfgTRef
        = field(times, 0, 22, u"Tiempo refresco:"_s, u"txtCfgTRef"_s, start.config.refreshTime);
    txtCfgTBack
        = field(times, 1, 23, u"Tiempo backlight:"_s, u"txtCfgTBack"_s, start.config.backlightTime);
    lLabel[24] = named(new QLabel(u"Modo de operación:"_s, config), indexed("lLabel", 24));
    cCfgMode = named(new QComboBox(config), u"cCfgMode"_s);
    cCfgMode->setEditable(true);
    cCfgMode->addItems({ start.config.mode, u"2- Bloque de datos"_s });
    lLabel[24]->setBuddy(cCfgMode);
    auto *dataBlock = new QGridLayout(fieldFrame(6, u"Lectura de datos"_s));
    txtNumBloc = field(dataBlock, 0, 25, u"Número de bloque:"_s, u"txtNumBloc"_s,
                       start.config.blockNumber);
    txtIniPos = field(dataBlock, 1, 26, u"Posición inicial:"_s, u"txtIniPos"_s,
                      start.config.startPosition);
    txtFinPos
        = field(dataBlock, 2, 27, u"Posición final:"_s, u"txtFinPos"_s, start.config.endPosition);
    cmdCfgConfig[0]
        = named(new QPushButton(u"Init + Set Card"_s, config), indexed("cmdCfgConfig", 0));
    cmdCfgConfig[1] = hiddenCardButton(config, indexed("cmdCfgConfig", 1));
    auto *modeColumn = new QVBoxLayout;
    modeColumn->addWidget(lLabel[24]);
    modeColumn->addWidget(cCfgMode);
    modeColumn->addWidget(fFrame[6]);
    modeColumn->addStretch(1);
    configGrid->addWidget(fFrame[4], 0, 0);
    configGrid->addWidget(fFrame[5], 1, 0);
    configGrid->addLayout(modeColumn, 0, 1, 2, 1);
    configGrid->setRowStretch(2, 1);
    configGrid->addWidget(cmdCfgConfig[0], 3, 0, 1, 2, Qt::AlignHCenter);

    // Tab 3: the messages card, one option button and text per message slot.
    QGroupBox *messages = addTab(7, u"Configuración de mensajes"_s, tabTitles[3]);
    auto *messageGrid = new QGridLayout(messages);
    messageGrid->setVerticalSpacing(2);
    opCfgMisGroup = new QButtonGroup(this);
    for (int i = 0; i < 8; ++i) {
        opCfgMis[i] = named(new QRadioButton(u"Mensaje 0%1:"_s.arg(i + 1), messages),
                            indexed("opCfgMis", i));
        opCfgMisGroup->addButton(opCfgMis[i], i);
        txtCfgMis[i]
            = textBox(messages, indexed("txtCfgMis", i), start.messages[i], kMessageBoxLength);
        if (i == 3 || i == 5)
            makeReadOnlyYellow(txtCfgMis[i]);
        messageGrid->addWidget(opCfgMis[i], i, 0);
        messageGrid->addWidget(txtCfgMis[i], i, 1);
    }
    opCfgMis[0]->setChecked(true);
    cmdCfgMis[0] = named(new QPushButton(u"Init + Set Card"_s, messages), indexed("cmdCfgMis", 0));
    cmdCfgMis[1] = hiddenCardButton(messages, indexed("cmdCfgMis", 1));
    messageGrid->setRowStretch(8, 1);
    messageGrid->addWidget(cmdCfgMis[0], 9, 0, 1, 2, Qt::AlignHCenter);

    lVersion = named(new QLabel(this), u"lVersion"_s);
    lVersion->setAlignment(Qt::AlignRight);
    QFont small = font();
    if (small.pointSizeF() > 0)
        small.setPointSizeF(small.pointSizeF() * 0.9);
    lVersion->setFont(small);
    // The tools at the left end of the bottom row, the version line at its right: the row is as
    // tall as the style makes the tool buttons, so that they show whole in every style.
    auto *bottomRow = new QHBoxLayout;
    bottomRow->setSpacing(2);
    m_tools = new ToolActions(this, fFrame[0], m_languages);
    m_profiles = new ProfileActions(*this, *this, m_session);
    m_tools->addControlsTo(bottomRow);
    for (QToolButton *button : { m_tools->monitorButton, m_tools->toolsButton })
        button->setFont(small);
    bottomRow->addStretch(1);
    bottomRow->addWidget(lVersion, 0, Qt::AlignVCenter);
    root->addLayout(bottomRow);
}
