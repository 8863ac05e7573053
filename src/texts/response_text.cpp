#include "texts/response_text.h"

#include "texts/language_table.h"

using namespace Qt::StringLiterals;

namespace {
constexpr int kSuccessText = 155; // codes 0 to 6 follow in order
constexpr int kWaitingText = 162;
constexpr int kTimeOutText = 163;
constexpr int kUnknownText = 169;
} // namespace

int responseMessageNumber(quint8 code)
{
    switch (code) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
        return kSuccessText + code;
    case 30:
        return kWaitingText;
    case 31:
        return kTimeOutText;
    case 'B':
        return 164;
    case 'L':
        return 165;
    case 'T':
        return 166;
    case 'E':
        return 167;
    case 'K':
        return 168;
    default:
        return kUnknownText;
    }
}

QString GetMisResp(quint8 bNumResp, const LanguageTable &table)
{
    const int number = responseMessageNumber(bNumResp);
    QString text = table.GetMis(number);
    if (number == kUnknownText)
        text += u" ("_s + QString::number(bNumResp) + u')';
    return text;
}

QString statusWithResult(const QString &label, quint8 iVal)
{
    if (iVal == 0)
        return label + u" OK"_s;
    return label + u" ERROR( "_s + QString::number(iVal) + u')';
}
