#include "tool_actions.h"

#include "texts/language_table.h"
#include "texts/message_numbers.h"

#include <QAction>
#include <QHBoxLayout>
#include <QMenu>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

QAction *newAction(QWidget *window, const char *name, QKeySequence shortcut)
{
    auto *action = new QAction(window);
    action->setObjectName(QLatin1String(name));
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WindowShortcut);
    window->addAction(action);
    return action;
}

QToolButton *flatButton(QWidget *window, const char *name)
{
    auto *button = new QToolButton(window);
    button->setObjectName(QLatin1String(name));
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

} // namespace

ToolActions::ToolActions(QWidget *window, QWidget *portArea, const LanguageTable &languages)
    : QObject(window)
    , m_languages(languages)
{
    monitor = newAction(window, "actionMonitor", QKeySequence(Qt::CTRL | Qt::Key_M));
    findTerminal = newAction(window, "actionFindTerminal", QKeySequence(Qt::CTRL | Qt::Key_F));
    beep = newAction(window, "actionBeep", QKeySequence(Qt::CTRL | Qt::Key_B));
    saveProfile = newAction(window, "actionSaveProfile", QKeySequence(Qt::CTRL | Qt::Key_S));
    loadProfile = newAction(window, "actionLoadProfile", QKeySequence(Qt::CTRL | Qt::Key_O));
    history = newAction(window, "actionHistory", QKeySequence(Qt::CTRL | Qt::Key_H));

    monitorButton = flatButton(window, "cmdMonitor");
    monitorButton->setDefaultAction(monitor);
    toolsButton = flatButton(window, "cmdTools");
    toolsButton->setPopupMode(QToolButton::InstantPopup);
    auto *menu = new QMenu(toolsButton);
    menu->addActions({ findTerminal, beep });
    menu->addSeparator();
    menu->addActions({ saveProfile, loadProfile });
    menu->addSeparator();
    menu->addActions({ monitor, history });
    toolsButton->setMenu(menu);

    // The port area answers a right click (or the menu key) anywhere in it, also on its
    // disabled controls, with the two port actions.
    portArea->setContextMenuPolicy(Qt::ActionsContextMenu);
    portArea->addActions({ findTerminal, beep });
}

void ToolActions::addControlsTo(QHBoxLayout *row)
{
    row->addWidget(monitorButton);
    row->addWidget(toolsButton);
}

void ToolActions::retranslate()
{
    const auto text = [this](int number) {
        return m_languages.GetMis(number);
    };
    monitor->setText(text(Mis::Monitor));
    monitor->setToolTip(text(Mis::MonitorTip));
    findTerminal->setText(text(Mis::FindTerminal));
    beep->setText(text(Mis::Beep));
    saveProfile->setText(text(Mis::SaveProfile));
    loadProfile->setText(text(Mis::LoadProfile));
    history->setText(text(Mis::History));
    toolsButton->setText(text(Mis::Tools));
    toolsButton->setToolTip(text(Mis::ToolsTip));
    // Buttons are announced by their text; the tips say what they open.
    monitorButton->setAccessibleName(text(Mis::Monitor));
    toolsButton->setAccessibleName(text(Mis::Tools));
}

void ToolActions::setStates(bool idle, bool portOpen)
{
    findTerminal->setEnabled(idle && !portOpen);
    beep->setEnabled(idle && portOpen);
    saveProfile->setEnabled(idle);
    loadProfile->setEnabled(idle);
}
