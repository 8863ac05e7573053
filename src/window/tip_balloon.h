// The balloon a tip shows in: a small tool-tip window of our own, painted as a rounded box with a
// tail pointing at the control, its text drawn literally line by line.
#pragma once

#include <QColor>
#include <QRect>
#include <QStringList>
#include <QWidget>

class QPainterPath;

// The text's own line breaks, "\r\n", "\n" and "\r" alike; nothing else breaks a line.
QStringList splitTipLines(const QString &text);

// Where a balloon goes: below the anchor with the tail up when it fits, otherwise above it with the
// tail down, and moved sideways to stay inside the available area.
struct BalloonPlacement
{
    QRect geometry; // the whole window, tail included
    bool tailUp = true;
    int tailX = 0; // tip of the tail, relative to geometry
};
BalloonPlacement placeBalloon(const QSize &bodySize, const QPoint &anchorBelow,
                              const QPoint &anchorAbove, const QRect &available);

class TipBalloon : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kTailHeight = 9;
    static constexpr int kTailWidth = 16;
    static constexpr int kRadius = 6;
    static constexpr int kPaddingX = 8;
    static constexpr int kPaddingY = 5;
    static inline const QColor kTextColor { 0, 0, 150 };
    static inline const QColor kBackground { 255, 255, 255 };
    static inline const QColor kBorder { 100, 100, 110 };

    TipBalloon();

    void setContent(const QString &title, const QString &text);
    // anchorBelow / anchorAbove: where the tail touches when the balloon sits below / above.
    void showAt(const QPoint &anchorBelow, const QPoint &anchorAbove, const QRect &available);

    QString title() const { return m_title; }
    QStringList lines() const { return m_lines; }
    bool tailUp() const { return m_placement.tailUp; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QSize bodySize() const;
    QPainterPath outline() const;

    QString m_title;
    QStringList m_lines;
    BalloonPlacement m_placement;
};
