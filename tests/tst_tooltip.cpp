// The tip slots, the balloon's text, what shows and hides it, and the pictures in the resources.
#include "window/resources/resources.h"
#include "window/tip_balloon.h"
#include "window/tooltip.h"

#include <QApplication>
#include <QFile>
#include <QHelpEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QToolTip>
#include <QtTest>

#include <memory>
#include <vector>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

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
    if (message.startsWith(u"This plugin does not support"))
        return;
    defaultMessageHandler(type, context, message);
}

QWidget *shownBalloon();

bool anyBalloonVisible()
{
    return shownBalloon() != nullptr;
}

// A shown window with a column of line edits, as the tests need real geometry.
struct Window
{
    explicit Window(int controls)
    {
        window.setAttribute(Qt::WA_AlwaysShowToolTips);
        window.resize(400, std::max(200, 30 * controls + 20));
        for (int i = 0; i < controls; ++i) {
            auto *edit = new QLineEdit(&window);
            edit->setObjectName(u"edit%1"_s.arg(i));
            edit->setGeometry(20, 10 + 30 * i, 150, 24);
            edits.push_back(edit);
        }
        window.show();
    }
    bool exposed() { return QTest::qWaitForWindowExposed(&window); }

    QWidget window;
    std::vector<QLineEdit *> edits;
};

enum class Trigger {
    Leave,
    Click,
    KeyPress,
    WindowHides,
    WindowDeactivates,
    ControlHides,
    ControlDestroyed,
    MouseMovesInside,
};

QWidget *shownBalloon()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    const auto found = std::find_if(windows.cbegin(), windows.cend(), [](const QWidget *window) {
        return window->objectName() == u"porteval_tip_balloon" && window->isVisible();
    });
    return found == windows.cend() ? nullptr : *found;
}

} // namespace

Q_DECLARE_METATYPE(Trigger)

class TestTooltip : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { defaultMessageHandler = qInstallMessageHandler(quietOffscreenLimits); }
    void slotLimits_data();
    void slotLimits();
    void iniTipStartsOver_data();
    void iniTipStartsOver();
    void latestTipWins();
    void shownLines_data();
    void shownLines();
    void showsOnMouseRest_data();
    void showsOnMouseRest();
    void hideTriggers_data();
    void hideTriggers();
    void supplementAtShowTime();
    void autoHide_data();
    void autoHide();
    void colours();
    void releaseRemovesEverything();
    void placement_data();
    void placement();
    void pictures();
};

void TestTooltip::slotLimits_data()
{
    QTest::addColumn<int>("maxTip");
    QTest::addColumn<int>("attempts");

    QTest::newRow("150 slots, 151 tips") << 150 << 151;
    QTest::newRow("3 slots, 3 tips") << 3 << 3;
    QTest::newRow("1 slot, 2 tips") << 1 << 2;
    QTest::newRow("no slot") << 0 << 1;
}

void TestTooltip::slotLimits()
{
    QFETCH(int, maxTip);
    QFETCH(int, attempts);

    QWidget window;
    Tooltip tip;
    tip.IniMaxTip(qint16(maxTip));
    QCOMPARE(tip.iMaxTip(), maxTip);
    QCOMPARE(tip.iNumTip(), 0);

    for (int i = 0; i < attempts; ++i) {
        auto *control = new QPushButton(&window);
        const QString text = u"tip %1"_s.arg(i);
        const bool fits = i < maxTip;
        QCOMPARE(tip.CreateTip(control, text), fits);
        QCOMPARE(tip.iNumTip(), std::min(i + 1, maxTip));
        QCOMPARE(tip.tipTextFor(control), fits ? text : QString());
        QCOMPARE(control->accessibleDescription(), fits ? text : QString());
    }
}

void TestTooltip::iniTipStartsOver_data()
{
    QTest::addColumn<int>("maxTip");
    QTest::addColumn<int>("used");

    QTest::newRow("3 slots, all used") << 3 << 3;
    QTest::newRow("51 tips") << 51 << 51;
    QTest::newRow("150 slots, 51 used") << 150 << 51;
}

void TestTooltip::iniTipStartsOver()
{
    QFETCH(int, maxTip);
    QFETCH(int, used);

    Window w(used + 1);
    QVERIFY(w.exposed());
    Tooltip tip;
    tip.IniMaxTip(qint16(maxTip));
    for (int i = 0; i < used; ++i)
        QVERIFY(tip.CreateTip(w.edits[i], u"old %1"_s.arg(i)));
    QVERIFY(!sendToolTip(w.edits[used]));
    QVERIFY(sendToolTip(w.edits[0]));
    QVERIFY(tip.isTipShown());

    tip.IniTip();
    QCOMPARE(tip.iNumTip(), 0);
    QCOMPARE(tip.iMaxTip(), maxTip);
    QVERIFY(!tip.isTipShown());
    for (int i = 0; i < used; ++i) {
        QLineEdit *edit = w.edits[i];
        QVERIFY2(tip.tipTextFor(edit).isEmpty(), qPrintable(edit->objectName()));
        QVERIFY2(edit->accessibleDescription().isEmpty(), qPrintable(edit->objectName()));
        QVERIFY2(!sendToolTip(edit), qPrintable(edit->objectName()));
        QVERIFY2(!tip.isTipShown(), qPrintable(edit->objectName()));
    }

    // Slot 0 again, for a control that had no tip before.
    QLineEdit *fresh = w.edits[used];
    QVERIFY(tip.CreateTip(fresh, u"new"_s));
    QCOMPARE(tip.iNumTip(), 1);
    QVERIFY(sendToolTip(fresh));
    QVERIFY(tip.isTipShown());
    QCOMPARE(tip.balloon()->lines(), QStringList { u"new"_s });
    QVERIFY(!sendToolTip(w.edits[0]));
}

void TestTooltip::latestTipWins()
{
    Window w(1);
    QVERIFY(w.exposed());
    Tooltip tip;
    tip.IniMaxTip(5);
    QLineEdit *edit = w.edits[0];
    QVERIFY(tip.CreateTip(edit, u"first"_s));
    QVERIFY(tip.CreateTip(edit, u"second"_s));
    QCOMPARE(tip.iNumTip(), 2);
    QCOMPARE(tip.tipTextFor(edit), u"second"_s);
    QCOMPARE(edit->accessibleDescription(), u"second"_s);
    QVERIFY(sendToolTip(edit));
    QCOMPARE(tip.balloon()->lines(), QStringList { u"second"_s });

    tip.IniTip();
    QVERIFY(tip.tipTextFor(edit).isEmpty());
    QVERIFY(edit->accessibleDescription().isEmpty());
    QVERIFY(!sendToolTip(edit));
}

void TestTooltip::shownLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("lines");

    const QString longLine = QString(300, u'x');
    QTest::newRow("one line") << u"one line"_s << QString() << QStringList { u"one line"_s };
    QTest::newRow("CR LF") << u"two\r\nlines"_s << QString()
                           << QStringList { u"two"_s, u"lines"_s };
    QTest::newRow("LF and CR") << u"a\nb\rc"_s << QString()
                               << QStringList { u"a"_s, u"b"_s, u"c"_s };
    QTest::newRow("blank line kept")
        << u"a\r\n\r\nb"_s << QString() << QStringList { u"a"_s, QString(), u"b"_s };
    QTest::newRow("looks like markup")
        << u"a < b > c"_s << QString() << QStringList { u"a < b > c"_s };
    QTest::newRow("real markup") << u"<b>bold</b>"_s << QString()
                                 << QStringList { u"<b>bold</b>"_s };
    QTest::newRow("ampersand") << u"R&D"_s << QString() << QStringList { u"R&D"_s };
    QTest::newRow("300 characters") << longLine << QString() << QStringList { longLine };
    QTest::newRow("title") << u"body"_s << u"Title"_s << QStringList { u"body"_s };
    QTest::newRow("empty") << QString() << QString() << QStringList();
}

void TestTooltip::shownLines()
{
    QFETCH(QString, text);
    QFETCH(QString, title);
    QFETCH(QStringList, lines);

    Window w(1);
    QVERIFY(w.exposed());
    QLineEdit *edit = w.edits[0];
    // Qt's own tip must stay away even from a control that has one.
    edit->setToolTip(u"Qt's own"_s);
    Tooltip tip;
    tip.IniMaxTip(2);
    QVERIFY(tip.CreateTip(edit, text, title));

    QVERIFY(sendToolTip(edit));
    QVERIFY(!QToolTip::isVisible());
    QCOMPARE(tip.isTipShown(), !lines.isEmpty());
    if (lines.isEmpty())
        return;

    const TipBalloon *balloon = tip.balloon();
    QCOMPARE(balloon->lines(), lines);
    QCOMPARE(balloon->title(), title);
    // Never wrapped: the balloon is as wide as its longest line.
    const QFontMetrics metrics(balloon->font());
    int widest = 0;
    for (const QString &line : lines)
        widest = std::max(widest, metrics.horizontalAdvance(line));
    QVERIFY2(balloon->width() > widest,
             qPrintable(u"%1 <= %2"_s.arg(balloon->width()).arg(widest)));
    QVERIFY(balloon->height() > int(lines.size()) * metrics.height());
}

void TestTooltip::showsOnMouseRest_data()
{
    QTest::addColumn<bool>("enabled");

    QTest::newRow("enabled control") << true;
    QTest::newRow("disabled control") << false;
}

void TestTooltip::showsOnMouseRest()
{
    QFETCH(bool, enabled);

    Window w(2);
    QVERIFY(w.exposed());
    QLineEdit *edit = w.edits[0];
    edit->setEnabled(enabled);
    Tooltip tip;
    tip.IniMaxTip(2);
    QVERIFY(tip.CreateTip(edit, u"key\r\nbox"_s));

    QWindow *handle = w.window.windowHandle();
    const QPoint inside = edit->geometry().center();
    QTest::mouseMove(handle, inside - QPoint(3, 0));
    QTest::mouseMove(handle, inside);
    QTRY_VERIFY(tip.isTipShown());
    QCOMPARE(tip.balloon()->lines(), (QStringList { u"key"_s, u"box"_s }));
    QVERIFY(!QToolTip::isVisible());

    // Below the control, clear of the pointer.
    const QRect balloon = tip.balloon()->geometry();
    QVERIFY(balloon.top() > w.window.mapToGlobal(inside).y());
    QVERIFY(tip.balloon()->tailUp());

    QTest::mouseMove(handle, w.edits[1]->geometry().center() + QPoint(0, 40));
    QTRY_VERIFY(!tip.isTipShown());
}

void TestTooltip::hideTriggers_data()
{
    QTest::addColumn<Trigger>("trigger");
    QTest::addColumn<bool>("hides");

    QTest::newRow("mouse leaves") << Trigger::Leave << true;
    QTest::newRow("click") << Trigger::Click << true;
    QTest::newRow("key press") << Trigger::KeyPress << true;
    QTest::newRow("window hides") << Trigger::WindowHides << true;
    QTest::newRow("window deactivates") << Trigger::WindowDeactivates << true;
    QTest::newRow("control hides") << Trigger::ControlHides << true;
    QTest::newRow("control destroyed") << Trigger::ControlDestroyed << true;
    QTest::newRow("mouse moves inside") << Trigger::MouseMovesInside << false;
}

void TestTooltip::hideTriggers()
{
    QFETCH(Trigger, trigger);
    QFETCH(bool, hides);

    // edits[2] has no tip: clicks and keys anywhere end the tip, not only on tipped controls.
    Window w(3);
    QVERIFY(w.exposed());
    QLineEdit *edit = w.edits[0];
    Tooltip tip;
    tip.IniMaxTip(3);
    QVERIFY(tip.CreateTip(edit, u"tip"_s));
    QVERIFY(tip.CreateTip(w.edits[1], u"other"_s));
    QVERIFY(sendToolTip(edit));
    QVERIFY(tip.isTipShown());

    switch (trigger) {
    case Trigger::Leave: {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(edit, &leave);
        break;
    }
    case Trigger::Click:
        QTest::mouseClick(w.edits[2], Qt::LeftButton);
        break;
    case Trigger::KeyPress:
        QTest::keyClick(w.edits[2], Qt::Key_A);
        break;
    case Trigger::WindowHides:
        w.window.hide();
        break;
    case Trigger::WindowDeactivates: {
        QEvent deactivate(QEvent::WindowDeactivate);
        QApplication::sendEvent(&w.window, &deactivate);
        break;
    }
    case Trigger::ControlHides:
        edit->hide();
        break;
    case Trigger::ControlDestroyed:
        delete edit;
        QCOMPARE(tip.iNumTip(), 2);
        break;
    case Trigger::MouseMovesInside:
        QTest::mouseMove(w.window.windowHandle(), edit->geometry().center());
        QTest::mouseMove(w.window.windowHandle(), edit->geometry().center() + QPoint(10, 2));
        break;
    }
    QTest::qWait(50);
    QCOMPARE(tip.isTipShown(), !hides);
    QCOMPARE(anyBalloonVisible(), !hides);

    // Whatever ended it, the other control still shows its own tip.
    if (trigger != Trigger::WindowHides) {
        QVERIFY(sendToolTip(w.edits[1]));
        QCOMPARE(tip.balloon()->lines(), QStringList { u"other"_s });
    }
}

void TestTooltip::supplementAtShowTime()
{
    Window w(1);
    QVERIFY(w.exposed());
    QLineEdit *edit = w.edits[0];
    QString ports = u"1: /dev/ttyS0"_s;
    Tooltip tip;
    tip.IniMaxTip(2);
    tip.setTextSupplement(edit, [&ports] { return ports; });
    QVERIFY(tip.CreateTip(edit, u"Port\r\nnumber"_s));
    // The supplement is shown, never attached.
    QCOMPARE(tip.tipTextFor(edit), u"Port\r\nnumber"_s);

    QVERIFY(sendToolTip(edit));
    QCOMPARE(tip.balloon()->lines(), (QStringList { u"Port"_s, u"number"_s, u"1: /dev/ttyS0"_s }));

    ports = u"1: /dev/ttyS0\n2: /dev/ttyUSB0"_s;
    QVERIFY(sendToolTip(edit));
    QCOMPARE(tip.balloon()->lines(),
             (QStringList { u"Port"_s, u"number"_s, u"1: /dev/ttyS0"_s, u"2: /dev/ttyUSB0"_s }));

    ports.clear();
    QVERIFY(sendToolTip(edit));
    QCOMPARE(tip.balloon()->lines(), (QStringList { u"Port"_s, u"number"_s }));

    // A new language's tips keep the supplement.
    ports = u"3: /dev/ttyACM0"_s;
    tip.IniTip();
    QVERIFY(tip.CreateTip(edit, u"Puerto"_s));
    QVERIFY(sendToolTip(edit));
    QCOMPARE(tip.balloon()->lines(), (QStringList { u"Puerto"_s, u"3: /dev/ttyACM0"_s }));

    // Removed again.
    tip.setTextSupplement(edit, {});
    QVERIFY(sendToolTip(edit));
    QCOMPARE(tip.balloon()->lines(), QStringList { u"Puerto"_s });
}

void TestTooltip::autoHide_data()
{
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<int>("waitMs");
    QTest::addColumn<bool>("stillShown");

    QTest::newRow("short delay, elapsed") << 100 << 800 << false;
    QTest::newRow("short delay, not yet") << 2000 << 300 << true;
    QTest::newRow("default delay, not yet") << -1 << 800 << true;
}

void TestTooltip::autoHide()
{
    QFETCH(int, delayMs);
    QFETCH(int, waitMs);
    QFETCH(bool, stillShown);

    Window w(1);
    QVERIFY(w.exposed());
    Tooltip tip;
    QCOMPARE(tip.hideDelay(), 30000ms);
    if (delayMs >= 0)
        tip.setHideDelay(std::chrono::milliseconds(delayMs));
    tip.IniMaxTip(1);
    QVERIFY(tip.CreateTip(w.edits[0], u"tip"_s));
    QVERIFY(sendToolTip(w.edits[0]));
    QVERIFY(tip.isTipShown());
    QTest::qWait(waitMs);
    QCOMPARE(tip.isTipShown(), stillShown);
}

void TestTooltip::colours()
{
    Window w(1);
    QVERIFY(w.exposed());
    Tooltip tip;
    tip.IniMaxTip(1);
    QVERIFY(tip.CreateTip(w.edits[0], u"HHHH IIII\r\nMMMM"_s));
    QVERIFY(sendToolTip(w.edits[0]));
    QVERIFY(tip.isTipShown());

    QWidget *balloon = shownBalloon();
    QVERIFY(balloon);
    const QImage image = balloon->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int text = 0;
    int white = 0;
    int border = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            text += pixel == QColor(0, 0, 150);
            white += pixel == QColor(255, 255, 255);
            // Any neutral dark grey: the outline, which the text's blue never blends into.
            const int spread = std::max({ pixel.red(), pixel.green(), pixel.blue() })
                - std::min({ pixel.red(), pixel.green(), pixel.blue() });
            border += pixel.red() < 180 && spread < 30;
        }
    }
    QVERIFY2(text > 10, qPrintable(QString::number(text)));
    QVERIFY2(white > image.width() * image.height() / 2, qPrintable(QString::number(white)));
    QVERIFY2(border > image.width(), qPrintable(QString::number(border)));
}

void TestTooltip::releaseRemovesEverything()
{
    Window w(3);
    QVERIFY(w.exposed());
    auto tip = std::make_unique<Tooltip>();
    tip->IniMaxTip(4);
    for (QLineEdit *edit : w.edits)
        QVERIFY(tip->CreateTip(edit, edit->objectName()));
    // A description someone else gave since is not ours to clear.
    w.edits[2]->setAccessibleDescription(u"described elsewhere"_s);
    QVERIFY(sendToolTip(w.edits[0]));
    QVERIFY(anyBalloonVisible());

    tip.reset();
    QVERIFY(!anyBalloonVisible());
    QVERIFY(w.edits[0]->accessibleDescription().isEmpty());
    QVERIFY(w.edits[1]->accessibleDescription().isEmpty());
    QCOMPARE(w.edits[2]->accessibleDescription(), u"described elsewhere"_s);
    for (QLineEdit *edit : w.edits)
        QVERIFY2(!sendToolTip(edit), qPrintable(edit->objectName()));
}

void TestTooltip::placement_data()
{
    QTest::addColumn<QSize>("body");
    QTest::addColumn<QPoint>("below");
    QTest::addColumn<QPoint>("above");
    QTest::addColumn<QRect>("available");
    QTest::addColumn<bool>("tailUp");

    const QRect screen(0, 0, 800, 600);
    QTest::newRow("room below") << QSize(100, 40) << QPoint(200, 300) << QPoint(200, 270) << screen
                                << true;
    QTest::newRow("bottom edge") << QSize(100, 40) << QPoint(200, 590) << QPoint(200, 560) << screen
                                 << false;
    QTest::newRow("just fits below")
        << QSize(100, 40) << QPoint(200, 600 - 40 - TipBalloon::kTailHeight) << QPoint(200, 30)
        << screen << true;
    QTest::newRow("right edge") << QSize(100, 40) << QPoint(780, 300) << QPoint(780, 270) << screen
                                << true;
    QTest::newRow("left edge") << QSize(100, 40) << QPoint(20, 300) << QPoint(20, 270) << screen
                               << true;
    QTest::newRow("second screen") << QSize(100, 40) << QPoint(830, 700) << QPoint(830, 680)
                                   << QRect(800, 0, 1024, 740) << false;
}

void TestTooltip::placement()
{
    QFETCH(QSize, body);
    QFETCH(QPoint, below);
    QFETCH(QPoint, above);
    QFETCH(QRect, available);
    QFETCH(bool, tailUp);

    const BalloonPlacement placed = placeBalloon(body, below, above, available);
    QCOMPARE(placed.tailUp, tailUp);
    QCOMPARE(placed.geometry.size(), body + QSize(0, TipBalloon::kTailHeight));
    QVERIFY(available.contains(placed.geometry));
    // The tail's tip is where it was asked to point.
    const QPoint anchor = tailUp ? below : above;
    QCOMPARE(placed.geometry.x() + placed.tailX, anchor.x());
    QCOMPARE(tailUp ? placed.geometry.top() : placed.geometry.bottom(), anchor.y());
}

void TestTooltip::pictures()
{
    initPortevalResources();
    const QImage logo(u":/porteval/logo.png"_s);
    QCOMPARE(logo.size(), QSize(206, 58));
    QVERIFY(!logo.allGray());
    // It sits on a white picture area: white corners.
    QCOMPARE(logo.pixelColor(0, 0), QColor(Qt::white));
    QCOMPARE(logo.pixelColor(205, 57), QColor(Qt::white));

    QFile icon(u":/porteval/porteval.svg"_s);
    QVERIFY(icon.open(QIODevice::ReadOnly));
    const QByteArray svg = icon.readAll();
    QVERIFY(svg.contains("<svg"));
    QVERIFY(svg.contains("viewBox=\"0 0 64 64\""));
}

QTEST_MAIN(TestTooltip)
#include "tst_tooltip.moc"
