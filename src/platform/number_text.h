// Numbers typed into the window's boxes, read the way technicians have always typed them:
// decimal, or "&H" hexadecimal and "&O" octal with the terminal's 16/32-bit wrap.
#pragma once

#include <QString>

#include <optional>

// The number at the start of `text`. Blanks, tabs and line feeds are skipped wherever they
// stand. "&H" (or "&O") and digits give a hexadecimal (octal) number: up to 0xFFFF it is a
// signed 16-bit value (&HFFFF is -1), up to 0xFFFFFFFF a signed 32-bit one, beyond that it
// does not fit (nullopt). Anything else is a decimal number with optional sign, point and
// exponent. Reading stops at the first character that cannot continue the number; a text
// without a number reads as 0.
std::optional<double> readNumber(const QString &text);

// Rounded to the nearest whole number, a half to the even one, when the result fits.
std::optional<qint16> roundToInt16(std::optional<double> value);
std::optional<quint8> roundToByte(std::optional<double> value);
