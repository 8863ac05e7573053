// The window's tips: a fixed number of slots, each tying a text to one control, shown in a
// balloon of our own when the mouse rests on the control.
#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

class TipBalloon;

class Tooltip : public QObject
{
    Q_OBJECT

public:
    // Long enough to read the longest tip; the balloon goes earlier when the mouse moves away.
    static constexpr std::chrono::milliseconds kHideDelay { 30000 };

    Tooltip();
    ~Tooltip() override;

    // Makes iMaxCtrlTip slots (plus one spare), all empty.
    void IniMaxTip(qint16 iMaxCtrlTip);
    // Empties every slot; the next CreateTip fills slot 0 again.
    void IniTip();
    // Fills the next free slot; false when all iMaxTip are taken.
    bool CreateTip(QWidget *oParentObj, const QString &sText, const QString &sTitle = QString());

    // Lines appended below the control's tip, computed each time the tip shows; an empty
    // function removes them. Kept across IniTip.
    void setTextSupplement(QWidget *control, std::function<QString()> supplement);

    qint16 iNumTip() const { return m_numTip; }
    qint16 iMaxTip() const { return m_maxTip; }
    QString tipTextFor(const QWidget *control) const;

    void setHideDelay(std::chrono::milliseconds delay);
    std::chrono::milliseconds hideDelay() const { return m_hideDelay; }

    // For tests: the balloon, once a tip has shown (nullptr before); hidden when no tip shows.
    const TipBalloon *balloon() const { return m_balloon.get(); }
    bool isTipShown() const;

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Slot
    {
        QPointer<QWidget> control;
        QString text;
        QString title;
    };

    const Slot *latestSlotFor(const QObject *control) const;
    void clearSlot(Slot &slot);
    void showTip(QWidget *control, const QPoint &globalPos);
    void hideTip();
    bool endsTip(QObject *watched, QEvent *event) const;
    void controlDestroyed(QObject *control);

    std::vector<Slot> m_slots;
    qint16 m_maxTip = 0;
    qint16 m_numTip = 0;
    QHash<const QObject *, std::function<QString()>> m_supplements;
    std::chrono::milliseconds m_hideDelay = kHideDelay;

    std::unique_ptr<TipBalloon> m_balloon;
    QPointer<QWidget> m_shownFor;
    QTimer m_hideTimer;
};
