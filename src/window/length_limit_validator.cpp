#include "length_limit_validator.h"

#include <QLineEdit>

LengthLimitValidator::LengthLimitValidator(int maxLength, QLineEdit *box)
    : QValidator(box)
    , m_max(maxLength)
    , m_last(box->text())
{ }

QValidator::State LengthLimitValidator::validate(QString &input, int &pos) const
{
    // The text that has just come in ends at the cursor. Only when the box held no more than
    // its limit before are the characters beyond the limit all part of what came in, so that
    // cutting them there keeps the rest of the box as it was.
    const qsizetype excess = input.size() - m_max;
    if (!m_programText && excess > 0 && input.size() > m_last.size()) {
        if (m_last.size() >= m_max || pos < excess)
            return Invalid;
        input.remove(pos - excess, excess);
        pos -= int(excess);
    }
    m_last = input;
    return Acceptable;
}

void setProgramText(QLineEdit *box, const QString &text)
{
    auto *limit = qobject_cast<LengthLimitValidator *>(const_cast<QValidator *>(box->validator()));
    if (limit)
        limit->m_programText = true;
    box->setText(text);
    if (limit)
        limit->m_programText = false;
}
