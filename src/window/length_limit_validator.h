// A text box's maximum length as the user meets it: typing beyond it is refused and a paste keeps
// the characters that fit. Unlike QLineEdit::setMaxLength it leaves whole the texts the program
// puts in (a key as the terminal sent it, a language's sample text), which setProgramText does.
#pragma once

#include <QValidator>

class QLineEdit;

class LengthLimitValidator : public QValidator
{
    Q_OBJECT

public:
    LengthLimitValidator(int maxLength, QLineEdit *box);

    State validate(QString &input, int &pos) const override;

private:
    friend void setProgramText(QLineEdit *box, const QString &text);

    int m_max;
    mutable QString m_last; // the box's text after the last change let through
    bool m_programText = false;
};

// Sets the box's text whole, whatever its limit.
void setProgramText(QLineEdit *box, const QString &text);
