#include "number_text.h"

#include <charconv>
#include <cmath>
#include <string>

namespace {

int digitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'z')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'Z')
        return u - 'A' + 10;
    return 99;
}

std::optional<double> readRadix(QStringView digits, int radix)
{
    quint64 value = 0;
    for (QChar c : digits) {
        const int digit = digitValue(c);
        if (digit >= radix)
            break;
        value = value * quint64(radix) + quint64(digit);
        if (value > 0xFFFFFFFFull)
            return std::nullopt;
    }
    if (value <= 0xFFFF)
        return double(qint16(quint16(value)));
    return double(qint32(quint32(value)));
}

// The longest prefix of `s` that is a decimal number: sign, digits, point, digits, exponent.
std::string decimalPrefix(const QString &s)
{
    std::string out;
    qsizetype i = 0;
    auto digits = [&] {
        bool any = false;
        while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') {
            out += char(s[i++].unicode());
            any = true;
        }
        return any;
    };
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
        out += char(s[i++].unicode());
    bool mantissa = digits();
    if (i < s.size() && s[i] == u'.') {
        out += '.';
        ++i;
        mantissa = digits() || mantissa;
    }
    if (!mantissa)
        return {};
    if (i < s.size() && QStringLiteral("eEdD").contains(s[i])) {
        const std::string before = out;
        out += 'e';
        ++i;
        if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
            out += char(s[i++].unicode());
        if (!digits())
            out = before; // "1e" is just 1
    }
    return out;
}

// The power of ten of the first significant digit of a decimal prefix (sign, digits, point,
// digits, "e", signed digits) whose mantissa is not zero; far beyond any double's range it
// saturates, which is all a caller needs to tell too small from too large.
long long decimalMagnitude(const std::string &prefix)
{
    long long magnitude = 0;
    bool significant = false;
    bool fraction = false;
    size_t i = (prefix[0] == '+' || prefix[0] == '-') ? 1 : 0;
    for (; i < prefix.size() && prefix[i] != 'e'; ++i) {
        if (prefix[i] == '.') {
            fraction = true;
        } else if (!significant && prefix[i] == '0') {
            magnitude -= fraction ? 1 : 0;
        } else if (!significant) {
            significant = true;
            magnitude -= fraction ? 1 : 0;
        } else if (!fraction) {
            ++magnitude;
        }
    }
    long long exponent = 0;
    const bool negative = i + 1 < prefix.size() && prefix[i + 1] == '-';
    for (size_t k = i + 1; k < prefix.size(); ++k) {
        if (prefix[k] >= '0' && prefix[k] <= '9')
            exponent = qMin(exponent * 10 + (prefix[k] - '0'), 1000000000LL);
    }
    return magnitude + (negative ? -exponent : exponent);
}

} // namespace

std::optional<double> readNumber(const QString &text)
{
    QString s;
    s.reserve(text.size());
    for (QChar c : text) {
        if (c != u' ' && c != u'\t' && c != u'\n')
            s.append(c);
    }
    if (s.size() >= 2 && s[0] == u'&') {
        const QChar kind = s[1].toUpper();
        if (kind == u'H')
            return readRadix(QStringView(s).mid(2), 16);
        if (kind == u'O')
            return readRadix(QStringView(s).mid(2), 8);
    }
    const std::string prefix = decimalPrefix(s);
    if (prefix.empty())
        return 0.0;
    // from_chars ignores the locale (strtod would read "2.5" as 2 under a German one) but
    // takes no plus sign.
    const char *first = prefix.data() + (prefix[0] == '+' ? 1 : 0);
    double value = 0;
    const auto [end, error] = std::from_chars(first, prefix.data() + prefix.size(), value);
    Q_UNUSED(end);
    if (error == std::errc::result_out_of_range) {
        // Too small to hold is zero (also "0.000...01" with hundreds of zeros); too large does
        // not fit anywhere.
        if (decimalMagnitude(prefix) < 0)
            return 0.0;
        return std::nullopt;
    }
    return value;
}

std::optional<qint16> roundToInt16(std::optional<double> value)
{
    if (!value)
        return std::nullopt;
    const double rounded = std::nearbyint(*value); // the default mode rounds a half to even
    if (!(rounded >= -32768.0 && rounded <= 32767.0))
        return std::nullopt;
    return qint16(rounded);
}

std::optional<quint8> roundToByte(std::optional<double> value)
{
    if (!value)
        return std::nullopt;
    const double rounded = std::nearbyint(*value);
    if (!(rounded >= 0.0 && rounded <= 255.0))
        return std::nullopt;
    return quint8(rounded);
}
