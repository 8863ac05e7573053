#include "window/tip_balloon.h"

#include <QBitmap>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRegularExpression>
#include <QToolTip>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// The tail sits near the balloon's left end, as on the balloons the technicians know.
constexpr int kPreferredTailX = TipBalloon::kRadius + TipBalloon::kTailWidth / 2 + 8;

// Narrower than this and the tail would run into the rounded corners.
constexpr int kMinBodyWidth = 2 * TipBalloon::kRadius + TipBalloon::kTailWidth + 4;

} // namespace

QStringList splitTipLines(const QString &text)
{
    static const QRegularExpression lineBreak(u"\r\n|\n|\r"_s);
    return text.split(lineBreak);
}

BalloonPlacement placeBalloon(const QSize &bodySize, const QPoint &anchorBelow,
                              const QPoint &anchorAbove, const QRect &available)
{
    const int width = bodySize.width();
    const int height = bodySize.height() + TipBalloon::kTailHeight;

    const bool fitsBelow = anchorBelow.y() + height - 1 <= available.bottom();
    const bool fitsAbove = anchorAbove.y() - height + 1 >= available.top();
    BalloonPlacement placement;
    placement.tailUp = fitsBelow || !fitsAbove;

    const QPoint anchor = placement.tailUp ? anchorBelow : anchorAbove;
    int y = placement.tailUp ? anchor.y() : anchor.y() - height + 1;
    y = std::max(available.top(), std::min(y, available.bottom() - height + 1));
    // A balloon wider than the screen keeps its left end, where the text starts, visible.
    int x = anchor.x() - kPreferredTailX;
    x = std::max(available.left(), std::min(x, available.right() - width + 1));

    placement.geometry = QRect(x, y, width, height);
    const int half = TipBalloon::kTailWidth / 2;
    placement.tailX
        = std::clamp(anchor.x() - x, TipBalloon::kRadius + half,
                     std::max(TipBalloon::kRadius + half, width - TipBalloon::kRadius - half));
    return placement;
}

TipBalloon::TipBalloon()
    : QWidget(nullptr, Qt::ToolTip | Qt::BypassGraphicsProxyWidget)
{
    setObjectName(u"porteval_tip_balloon"_s);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFont(QToolTip::font());
}

void TipBalloon::setContent(const QString &title, const QString &text)
{
    m_title = title;
    m_lines = splitTipLines(text);
    update();
}

void TipBalloon::showAt(const QPoint &anchorBelow, const QPoint &anchorAbove,
                        const QRect &available)
{
    m_placement = placeBalloon(bodySize(), anchorBelow, anchorAbove, available);
    setGeometry(m_placement.geometry);

    // A mask rather than a translucent window: X servers without a compositor show translucent
    // parts black.
    QBitmap mask(size());
    mask.fill(Qt::color0);
    {
        QPainter painter(&mask);
        const QPainterPath path = outline();
        painter.fillPath(path, Qt::color1);
        painter.strokePath(path, QPen(Qt::color1, 1.0));
    }
    setMask(mask);

    show();
    raise();
    update();
}

QSize TipBalloon::bodySize() const
{
    const QFontMetrics metrics(font());
    QFont bold = font();
    bold.setBold(true);
    const QFontMetrics boldMetrics(bold);

    int width = 0;
    int height = 0;
    if (!m_title.isEmpty()) {
        width = boldMetrics.horizontalAdvance(m_title);
        height += boldMetrics.lineSpacing();
    }
    for (const QString &line : m_lines)
        width = std::max(width, metrics.horizontalAdvance(line));
    height += int(m_lines.size()) * metrics.lineSpacing();
    return { std::max(kMinBodyWidth, width + 2 * kPaddingX), height + 2 * kPaddingY };
}

QPainterPath TipBalloon::outline() const
{
    // Half-pixel inset so that a one-pixel pen stays inside the window.
    const qreal bodyHeight = height() - kTailHeight;
    const qreal bodyTop = m_placement.tailUp ? kTailHeight : 0;
    QPainterPath body;
    body.addRoundedRect(QRectF(0.5, bodyTop + 0.5, width() - 1.0, bodyHeight - 1.0), kRadius,
                        kRadius);

    // The tail's base reaches a pixel into the body so that the union has no seam.
    const qreal tipX = m_placement.tailX + 0.5;
    const qreal half = kTailWidth / 2.0;
    QPolygonF tail;
    if (m_placement.tailUp) {
        tail << QPointF(tipX, 0.5) << QPointF(tipX + half, bodyTop + 1.5)
             << QPointF(tipX - half, bodyTop + 1.5);
    } else {
        const qreal tipY = height() - 0.5;
        tail << QPointF(tipX, tipY) << QPointF(tipX - half, bodyHeight - 1.5)
             << QPointF(tipX + half, bodyHeight - 1.5);
    }
    tail << tail.first();
    QPainterPath tailPath;
    tailPath.addPolygon(tail);
    return body.united(tailPath).simplified();
}

void TipBalloon::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath path = outline();
    painter.fillPath(path, kBackground);
    painter.strokePath(path, QPen(kBorder, 1.0));
    painter.setRenderHint(QPainter::Antialiasing, false);

    // drawText at a point takes the text as it is: no markup, no mnemonics, no wrapping.
    painter.setPen(kTextColor);
    int y = (m_placement.tailUp ? kTailHeight : 0) + kPaddingY;
    if (!m_title.isEmpty()) {
        QFont bold = font();
        bold.setBold(true);
        painter.setFont(bold);
        const QFontMetrics boldMetrics(bold);
        painter.drawText(QPoint(kPaddingX, y + boldMetrics.ascent()), m_title);
        y += boldMetrics.lineSpacing();
        painter.setFont(font());
    }
    const QFontMetrics metrics(font());
    for (const QString &line : m_lines) {
        painter.drawText(QPoint(kPaddingX, y + metrics.ascent()), line);
        y += metrics.lineSpacing();
    }
}
