// A label that reacts to a click, and to Space or Enter when it has the keyboard focus.
#pragma once

#include <QLabel>

class ClickableLabel : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};
