#include "window/tooltip.h"

#include "window/tip_balloon.h"

#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QScreen>

#include <algorithm>

namespace {

// Room for the mouse pointer's arrow, so that the balloon never sits under it.
constexpr int kCursorHeight = 20;

} // namespace

Tooltip::Tooltip()
{
    m_hideTimer.setSingleShot(true);
    connect(&m_hideTimer, &QTimer::timeout, this, &Tooltip::hideTip);
}

Tooltip::~Tooltip()
{
    hideTip();
    for (Slot &slot : m_slots)
        clearSlot(slot);
}

void Tooltip::IniMaxTip(qint16 iMaxCtrlTip)
{
    // Tips of an earlier slot array would otherwise stay on their controls with no way to reach
    // them.
    for (Slot &slot : m_slots)
        clearSlot(slot);
    m_maxTip = std::max<qint16>(iMaxCtrlTip, 0);
    m_slots.assign(std::size_t(m_maxTip) + 1, Slot {});
    m_numTip = 0;
}

void Tooltip::IniTip()
{
    for (Slot &slot : m_slots)
        clearSlot(slot);
    m_numTip = 0;
}

bool Tooltip::CreateTip(QWidget *oParentObj, const QString &sText, const QString &sTitle)
{
    if (m_numTip >= m_maxTip || !oParentObj)
        return false;

    Slot &slot = m_slots[std::size_t(m_numTip)];
    clearSlot(slot);
    slot = Slot { oParentObj, sText, sTitle };
    ++m_numTip;

    // A control reached through several slots keeps one filter: installing again only moves it.
    oParentObj->installEventFilter(this);
    oParentObj->setAccessibleDescription(sText);
    connect(oParentObj, &QObject::destroyed, this, &Tooltip::controlDestroyed,
            Qt::UniqueConnection);
    if (m_shownFor == oParentObj)
        hideTip();
    return true;
}

void Tooltip::setTextSupplement(QWidget *control, std::function<QString()> supplement)
{
    if (!control)
        return;
    if (!supplement) {
        m_supplements.remove(control);
        return;
    }
    m_supplements.insert(control, std::move(supplement));
    connect(control, &QObject::destroyed, this, &Tooltip::controlDestroyed, Qt::UniqueConnection);
}

QString Tooltip::tipTextFor(const QWidget *control) const
{
    const Slot *slot = latestSlotFor(control);
    return slot ? slot->text : QString();
}

void Tooltip::setHideDelay(std::chrono::milliseconds delay)
{
    m_hideDelay = delay;
}

bool Tooltip::isTipShown() const
{
    return m_balloon && m_balloon->isVisible();
}

const Tooltip::Slot *Tooltip::latestSlotFor(const QObject *control) const
{
    if (!control)
        return nullptr;
    // The highest slot is the one created last.
    const auto found = std::find_if(m_slots.rbegin(), m_slots.rend(), [control](const Slot &slot) {
        return slot.control == control;
    });
    return found == m_slots.rend() ? nullptr : &*found;
}

void Tooltip::clearSlot(Slot &slot)
{
    QWidget *control = slot.control;
    const QString text = slot.text;
    slot = Slot {};
    if (!control)
        return;

    if (const Slot *other = latestSlotFor(control)) {
        control->setAccessibleDescription(other->text);
        return;
    }
    control->removeEventFilter(this);
    // Someone else may have described the control since; leave that alone.
    if (control->accessibleDescription() == text)
        control->setAccessibleDescription(QString());
    if (m_shownFor == control)
        hideTip();
}

void Tooltip::showTip(QWidget *control, const QPoint &globalPos)
{
    const Slot *slot = latestSlotFor(control);
    if (!slot || slot->text.isEmpty()) {
        hideTip();
        return;
    }
    QString text = slot->text;
    if (const auto supplement = m_supplements.constFind(control);
        supplement != m_supplements.cend()) {
        const QString extra = (*supplement)();
        if (!extra.isEmpty())
            text += u'\n' + extra;
    }

    if (!m_balloon)
        m_balloon = std::make_unique<TipBalloon>();
    m_balloon->setContent(slot->title, text);

    // Under the control, or under the pointer's arrow in a tall control; over it the same way.
    const QRect controlRect(control->mapToGlobal(QPoint(0, 0)), control->size());
    const QPoint below(globalPos.x(),
                       std::min(controlRect.bottom(), globalPos.y() + kCursorHeight) + 2);
    const QPoint above(globalPos.x(),
                       std::max(controlRect.top(), globalPos.y() - kCursorHeight) - 2);
    const QScreen *screen = QGuiApplication::screenAt(globalPos);
    if (!screen)
        screen = control->screen();
    if (!screen) {
        hideTip();
        return;
    }
    m_balloon->showAt(below, above, screen->availableGeometry());

    m_shownFor = control;
    // Watching the whole application while a tip shows catches clicks and keys anywhere.
    qApp->installEventFilter(this);
    m_hideTimer.start(m_hideDelay);
}

void Tooltip::hideTip()
{
    m_hideTimer.stop();
    if (qApp)
        qApp->removeEventFilter(this);
    if (m_balloon)
        m_balloon->hide();
    m_shownFor = nullptr;
}

bool Tooltip::endsTip(QObject *watched, QEvent *event) const
{
    switch (event->type()) {
    case QEvent::Leave:
        return watched == m_shownFor;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::Wheel:
        return true;
    case QEvent::MouseMove: {
        const QPoint pos = static_cast<QMouseEvent *>(event)->globalPosition().toPoint();
        return !QRect(m_shownFor->mapToGlobal(QPoint(0, 0)), m_shownFor->size()).contains(pos);
    }
    case QEvent::WindowDeactivate:
    case QEvent::Hide:
    case QEvent::Close:
        return watched == m_shownFor
            || (watched->isWidgetType() && static_cast<QWidget *>(watched) == m_shownFor->window());
    default:
        return false;
    }
}

bool Tooltip::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        // Consumed even when empty, so that Qt's own tool tip never shows beside ours. Disabled
        // controls get the event too: the filter runs before the widget ignores anything.
        if (const Slot *slot = latestSlotFor(watched)) {
            showTip(slot->control, static_cast<QHelpEvent *>(event)->globalPos());
            event->accept();
            return true;
        }
        return false;
    }
    if (m_shownFor && endsTip(watched, event))
        hideTip();
    return false;
}

void Tooltip::controlDestroyed(QObject *control)
{
    m_supplements.remove(control);
    // The pointer may already read null here, depending on how far the control's destruction got.
    if (!m_shownFor || m_shownFor.data() == control)
        hideTip();
}
