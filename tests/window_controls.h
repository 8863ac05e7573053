// The window's controls as the tests reach them: by the object names the design gives them, as
// a user's assistive tools do, never through the window's insides.
#pragma once

#include "window/clickable_label.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>

#include <array>

template<typename T> T *findControl(const QObject &window, const QByteArray &name)
{
    T *found = window.findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("the window has no %s", name.constData());
    return found;
}

// An indexed control array: "txtKey_0" to "txtKey_15".
template<typename T, std::size_t N>
std::array<T *, N> findControls(const QObject &window, const QByteArray &name)
{
    std::array<T *, N> controls {};
    for (std::size_t i = 0; i < N; ++i)
        controls[i] = findControl<T>(window, name + '_' + QByteArray::number(int(i)));
    return controls;
}

struct WindowControls
{
    explicit WindowControls(const QWidget &window)
        : w(window)
    { }

    const QWidget &w;
    QLineEdit *cEditCfg1 = findControl<QLineEdit>(w, "cEditCfg1");
    QPushButton *cmdOpenCOM = findControl<QPushButton>(w, "cmdOpenCOM");
    QPushButton *cmdCloseCOM = findControl<QPushButton>(w, "cmdCloseCOM");
    QPushButton *cmdGetInfoKeyCard = findControl<QPushButton>(w, "cmdGetInfoKeyCard");
    QLabel *txtStatus = findControl<QLabel>(w, "txtStatus");
    QToolButton *cmdStopWait = findControl<QToolButton>(w, "cmdStopWait");
    QTabWidget *SSTab1 = findControl<QTabWidget>(w, "SSTab1");
    QLineEdit *txtOldKey = findControl<QLineEdit>(w, "txtOldKey");
    QLineEdit *txtCfgUART0 = findControl<QLineEdit>(w, "txtCfgUART0");
    QLineEdit *txtCfgUART1 = findControl<QLineEdit>(w, "txtCfgUART1");
    QLineEdit *txtNumBloc = findControl<QLineEdit>(w, "txtNumBloc");
    QLineEdit *txtFinPos = findControl<QLineEdit>(w, "txtFinPos");
    QComboBox *cCfgMode = findControl<QComboBox>(w, "cCfgMode");
    ClickableLabel *lNorvalt = findControl<ClickableLabel>(w, "lNorvalt");
    QAction *actionMonitor = findControl<QAction>(w, "actionMonitor");
    QAction *actionFindTerminal = findControl<QAction>(w, "actionFindTerminal");
    QAction *actionHistory = findControl<QAction>(w, "actionHistory");
    std::array<QLineEdit *, 16> txtKey = findControls<QLineEdit, 16>(w, "txtKey");
    std::array<QLineEdit *, 8> txtCfgMis = findControls<QLineEdit, 8>(w, "txtCfgMis");
    std::array<QRadioButton *, 8> opCfgMis = findControls<QRadioButton, 8>(w, "opCfgMis");
    std::array<ClickableLabel *, 5> cIdioma = findControls<ClickableLabel, 5>(w, "cIdioma");
    std::array<QLabel *, 28> lLabel = findControls<QLabel, 28>(w, "lLabel");
    std::array<QGroupBox *, 8> fFrame = findControls<QGroupBox, 8>(w, "fFrame");
    std::array<QPushButton *, 2> cmdCfgMaster = findControls<QPushButton, 2>(w, "cmdCfgMaster");
    std::array<QPushButton *, 2> cmdCfgConfig = findControls<QPushButton, 2>(w, "cmdCfgConfig");
    std::array<QPushButton *, 2> cmdCfgMis = findControls<QPushButton, 2>(w, "cmdCfgMis");
};
