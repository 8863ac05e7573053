// Refuses typing beyond a number of characters, like a text box's maximum length, but leaves
// texts the program puts in untouched (QLineEdit::setMaxLength would cut those too).
#pragma once

#include <QValidator>

class LengthLimitValidator : public QValidator
{
public:
    LengthLimitValidator(int maxLength, QObject *parent)
        : QValidator(parent)
        , m_max(maxLength)
    { }

    State validate(QString &input, int &) const override
    {
        return input.size() <= m_max ? Acceptable : Invalid;
    }

private:
    int m_max;
};
