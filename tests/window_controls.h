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

struct WindowControls
{
    explicit WindowControls(const QWidget &window)
        : cEditCfg1(find<QLineEdit>(window, "cEditCfg1"))
        , cmdOpenCOM(find<QPushButton>(window, "cmdOpenCOM"))
        , cmdCloseCOM(find<QPushButton>(window, "cmdCloseCOM"))
        , cmdGetInfoKeyCard(find<QPushButton>(window, "cmdGetInfoKeyCard"))
        , txtStatus(find<QLabel>(window, "txtStatus"))
        , cmdStopWait(find<QToolButton>(window, "cmdStopWait"))
        , SSTab1(find<QTabWidget>(window, "SSTab1"))
        , txtOldKey(find<QLineEdit>(window, "txtOldKey"))
        , txtCfgUART0(find<QLineEdit>(window, "txtCfgUART0"))
        , txtCfgUART1(find<QLineEdit>(window, "txtCfgUART1"))
        , txtNumBloc(find<QLineEdit>(window, "txtNumBloc"))
        , txtFinPos(find<QLineEdit>(window, "txtFinPos"))
        , cCfgMode(find<QComboBox>(window, "cCfgMode"))
        , lNorvalt(find<ClickableLabel>(window, "lNorvalt"))
        , actionMonitor(find<QAction>(window, "actionMonitor"))
        , actionFindTerminal(find<QAction>(window, "actionFindTerminal"))
        , actionHistory(find<QAction>(window, "actionHistory"))
    {
        fill(window, txtKey, "txtKey");
        fill(window, txtCfgMis, "txtCfgMis");
        fill(window, opCfgMis, "opCfgMis");
        fill(window, cIdioma, "cIdioma");
        fill(window, lLabel, "lLabel");
        fill(window, fFrame, "fFrame");
        fill(window, cmdCfgMaster, "cmdCfgMaster");
        fill(window, cmdCfgConfig, "cmdCfgConfig");
        fill(window, cmdCfgMis, "cmdCfgMis");
    }

    template<typename T> static T *find(const QObject &window, const char *name)
    {
        T *found = window.findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("the window has no %s", name);
        return found;
    }

    QLineEdit *cEditCfg1;
    QPushButton *cmdOpenCOM;
    QPushButton *cmdCloseCOM;
    QPushButton *cmdGetInfoKeyCard;
    QLabel *txtStatus;
    QToolButton *cmdStopWait;
    QTabWidget *SSTab1;
    QLineEdit *txtOldKey;
    QLineEdit *txtCfgUART0;
    QLineEdit *txtCfgUART1;
    QLineEdit *txtNumBloc;
    QLineEdit *txtFinPos;
    QComboBox *cCfgMode;
    ClickableLabel *lNorvalt;
    QAction *actionMonitor;
    QAction *actionFindTerminal;
    QAction *actionHistory;
    std::array<QLineEdit *, 16> txtKey {};
    std::array<QLineEdit *, 8> txtCfgMis {};
    std::array<QRadioButton *, 8> opCfgMis {};
    std::array<ClickableLabel *, 5> cIdioma {};
    std::array<QLabel *, 28> lLabel {};
    std::array<QGroupBox *, 8> fFrame {};
    std::array<QPushButton *, 2> cmdCfgMaster {};
    std::array<QPushButton *, 2> cmdCfgConfig {};
    std::array<QPushButton *, 2> cmdCfgMis {};

private:
    // An indexed control array: "txtKey_0" to "txtKey_15".
    template<typename T, std::size_t N>
    static void fill(const QObject &window, std::array<T *, N> &controls, const char *name)
    {
        for (std::size_t i = 0; i < N; ++i) {
            const QByteArray indexed = QByteArray(name) + '_' + QByteArray::number(int(i));
            controls[i] = find<T>(window, indexed.constData());
        }
    }
};
