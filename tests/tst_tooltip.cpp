// The tip slots, the balloon's text and what shows and hides it.
#include "window/tip_balloon.h"
#include "window/tooltip.h"

#include <QApplication>
#include <QHelpEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QToolTip>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// What the mouse resting on the control makes Qt send; true when someone took it. (QWidget
// reports every tool-tip event as handled, so the accepted flag is what tells.)
bool sendToolTip(QWidget *control)
{
    const QPoint pos(5, 5);
    QHelpEvent event(QEvent::ToolTip, pos, control->mapToGlobal(pos));
    QApplication::sendEvent(control, &event);
    return event.isAccepted();
}

// The offscreen platform can neither raise windows nor shape them, and says so at every show.
QtMessageHandler defaultMessageHandler = nullptr;
void quietOffscreenLimits(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (!message.startsWith(u"This plugin does not support"))
        defaultMessageHandler(type, context, message);
}

// The balloon window, when one is on screen.
QWidget *shownBalloon()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->objectName() == u"porteval_tip_balloon" && window->isVisible())
            return window;
    }
    return nullptr;
}

// A shown window with a column of line edits, as the tests need real geometry, and its tips.
struct Window
{
    Window()
    {
        window.setAttribute(Qt::WA_AlwaysShowToolTips);
        window.resize(400, 200);
        for (int i = 0; i < 3; ++i) {
            edits.push_back(new QLineEdit(&window));
            edits.back()->setGeometry(20, 10 + 30 * i, 150, 24);
        }
        window.show();
        tip.IniMaxTip(3);
    }
    // The mouse along `path`, in window coordinates; edits[0] spans (20, 10) to (169, 33).
    void mouseTo(std::initializer_list<QPoint> path)
    {
        for (QPoint point : path)
            QTest::mouseMove(window.windowHandle(), point);
    }

    QWidget window;
    std::vector<QLineEdit *> edits;
    Tooltip tip;
};

// Something done to the window while its first control shows its tip.
using Trigger = std::function<void(Window &)>;

} // namespace

Q_DECLARE_METATYPE(Trigger)

class TestTooltip : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { defaultMessageHandler = qInstallMessageHandler(quietOffscreenLimits); }
    void init()
    {
        w = std::make_unique<Window>();
        QVERIFY(QTest::qWaitForWindowExposed(&w->window));
    }
    void cleanup() { w.reset(); }
    void tipSlots();
    void shownLines_data();
    void shownLines();
    void disabledControl();
    void supplementAtShowTime();
    void hideTriggers_data();
    void hideTriggers();
    void colours();
    void releaseRemovesEverything();

private:
    std::unique_ptr<Window> w; // new for each test function and row
};

void TestTooltip::tipSlots()
{
    w->tip.IniMaxTip(150);
    QVERIFY(w->tip.CreateTip(w->edits[0], u"old"_s));
    for (int i = 1; i < 151; ++i)
        QCOMPARE(w->tip.CreateTip(new QPushButton(&w->window), u"tip %1"_s.arg(i)), i < 150);
    QVERIFY(sendToolTip(w->edits[0]));

    // All slots free again, the old tips gone, and the next one in slot 0.
    w->tip.IniTip();
    QVERIFY(w->edits[0]->accessibleDescription().isEmpty());
    QVERIFY(!sendToolTip(w->edits[0]));
    QVERIFY(w->tip.CreateTip(w->edits[1], u"new"_s));
    QVERIFY(sendToolTip(w->edits[1]));
    QCOMPARE(w->tip.balloon()->lines(), QStringList { u"new"_s });
}

void TestTooltip::shownLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines"); // empty: nothing shows

    const QString longLine(300, u'x');
    QTest::newRow("one line") << u"one line"_s << QStringList { u"one line"_s };
    QTest::newRow("CR LF") << u"two\r\nlines"_s << QStringList { u"two"_s, u"lines"_s };
    QTest::newRow("looks like markup") << u"a < b > c"_s << QStringList { u"a < b > c"_s };
    QTest::newRow("300 characters") << longLine << QStringList { longLine };
    QTest::newRow("empty") << QString() << QStringList();
}

void TestTooltip::shownLines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);

    w->edits[0]->setToolTip(u"Qt's own"_s); // must stay away
    QVERIFY(w->tip.CreateTip(w->edits[0], text));
    QVERIFY(sendToolTip(w->edits[0]));
    QVERIFY(!QToolTip::isVisible());
    QCOMPARE(shownBalloon() != nullptr, !lines.isEmpty());
    if (lines.isEmpty())
        return;
    const TipBalloon *balloon = w->tip.balloon();
    QCOMPARE(balloon->lines(), lines);
    // Never wrapped: the balloon is wider than each line and taller than all of them.
    const QFontMetrics metrics(balloon->font());
    for (const QString &line : lines)
        QVERIFY(balloon->width() > metrics.horizontalAdvance(line));
    QVERIFY(balloon->height() > int(lines.size()) * metrics.height());
}

// Qt sends a disabled control no mouse events, yet its tip shows when the mouse rests on it.
void TestTooltip::disabledControl()
{
    w->edits[0]->setEnabled(false);
    QVERIFY(w->tip.CreateTip(w->edits[0], u"key"_s));
    w->mouseTo({ { 90, 21 }, { 94, 21 } });
    QTRY_VERIFY(w->tip.isTipShown());
    QCOMPARE(w->tip.balloon()->lines(), QStringList { u"key"_s });
}

void TestTooltip::supplementAtShowTime()
{
    QString ports = u"1: /dev/ttyS0"_s;
    w->tip.setTextSupplement(w->edits[0], [&ports] { return ports; });
    QVERIFY(w->tip.CreateTip(w->edits[0], u"Port"_s));
    QVERIFY(sendToolTip(w->edits[0]));
    QCOMPARE(w->tip.balloon()->lines(), (QStringList { u"Port"_s, u"1: /dev/ttyS0"_s }));
    ports = u"2: /dev/ttyUSB0"_s; // read again at every show
    QVERIFY(sendToolTip(w->edits[0]));
    QCOMPARE(w->tip.balloon()->lines(), (QStringList { u"Port"_s, u"2: /dev/ttyUSB0"_s }));
}

void TestTooltip::hideTriggers_data()
{
    QTest::addColumn<Trigger>("trigger");
    QTest::addColumn<bool>("hides");

    // edits[1] has no tip: clicks and keys anywhere end the tip.
    QTest::newRow("mouse leaves") << Trigger([](Window &w) {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(w.edits[0], &leave);
    }) << true;
    QTest::newRow("click elsewhere")
        << Trigger([](Window &w) { QTest::mouseClick(w.edits[1], Qt::LeftButton); }) << true;
    QTest::newRow("key press elsewhere")
        << Trigger([](Window &w) { QTest::keyClick(w.edits[1], Qt::Key_A); }) << true;
    QTest::newRow("control destroyed") << Trigger([](Window &w) { delete w.edits[0]; }) << true;
    QTest::newRow("timer, short delay") << Trigger([](Window &w) {
        w.tip.setHideDelay(std::chrono::milliseconds(100));
        sendToolTip(w.edits[0]); // shown again, for the new delay
    }) << true;
    QTest::newRow("mouse moves inside, default delay") << Trigger([](Window &w) {
        w.mouseTo({ { 94, 21 }, { 104, 23 } });
    }) << false;
}

void TestTooltip::hideTriggers()
{
    QFETCH(Trigger, trigger);
    QFETCH(bool, hides);

    QVERIFY(w->tip.CreateTip(w->edits[0], u"tip"_s));
    QVERIFY(sendToolTip(w->edits[0]));
    QVERIFY(w->tip.isTipShown());
    trigger(*w);
    QTest::qWait(600);
    QCOMPARE(shownBalloon() != nullptr, !hides);
}

void TestTooltip::colours()
{
    QVERIFY(w->tip.CreateTip(w->edits[0], u"HHHH IIII\r\nMMMM"_s));
    QVERIFY(sendToolTip(w->edits[0]));
    QWidget *balloon = shownBalloon();
    QVERIFY(balloon);
    const QImage image = balloon->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const auto *pixels = reinterpret_cast<const QRgb *>(image.constBits());
    const qsizetype all = qsizetype(image.width()) * image.height();
    const auto count = [&](QRgb colour) {
        return std::count(pixels, pixels + all, colour);
    };
    QVERIFY2(count(qRgb(0, 0, 150)) > 10, "no text colour");
    QVERIFY2(count(qRgb(255, 255, 255)) > all / 2, "not white");
}

void TestTooltip::releaseRemovesEverything()
{
    auto tip = std::make_unique<Tooltip>();
    tip->IniMaxTip(3);
    for (QLineEdit *edit : w->edits)
        QVERIFY(tip->CreateTip(edit, u"tip"_s));
    QVERIFY(sendToolTip(w->edits[0]));
    QVERIFY(shownBalloon());

    tip.reset();
    QVERIFY(!shownBalloon());
    for (QLineEdit *edit : w->edits) {
        QVERIFY(edit->accessibleDescription().isEmpty());
        QVERIFY(!sendToolTip(edit));
    }
}

QTEST_MAIN(TestTooltip)
#include "tst_tooltip.moc"
