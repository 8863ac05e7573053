// What the window offers beside its design: the frame monitor, finding the terminal, its beep,
// site profiles and the history. Each is an action with a keyboard shortcut, reached from a small
// row under the tabs and, for the port ones, from the port area's context menu.
#pragma once

#include <QObject>

class LanguageTable;
class QAction;
class QHBoxLayout;
class QToolButton;
class QWidget;

class ToolActions : public QObject
{
    Q_OBJECT

public:
    // The actions' shortcuts work anywhere in `window`; `portArea` gets the context menu.
    ToolActions(QWidget *window, QWidget *portArea, const LanguageTable &languages);

    // The controls of the row, for the window to place.
    void addControlsTo(QHBoxLayout *row);
    void retranslate();
    // The port ones follow the port: finding a terminal while the port is closed, the beep
    // while it is open; none of them while an operation runs.
    void setStates(bool idle, bool portOpen);

    QAction *monitor = nullptr;
    QAction *findTerminal = nullptr;
    QAction *beep = nullptr;
    QAction *saveProfile = nullptr;
    QAction *loadProfile = nullptr;
    QAction *history = nullptr;
    QToolButton *monitorButton = nullptr;
    QToolButton *toolsButton = nullptr;

private:
    const LanguageTable &m_languages;
};
