// The record every written card carries: a decimal, a hexadecimal and a binary piece, each
// with its own integrity value, concatenated.
#pragma once

#include <QByteArray>
#include <QString>

// The digit that makes the digit sum of `decimalText` a multiple of 10; characters other
// than 0-9 count 0.
QString CalcCheckDigit(const QString &decimalText);

// The 8-bit sum of the bytes that `hexText` spells, pair by pair as HexToBin reads them, as
// two capital hex digits.
QString CalcHexChecksum(const QString &hexText);

// One byte: the 8-bit sum of the bytes of `bytes`.
QByteArray CalcCRCBin(const QByteArray &bytes);

// HexToBin(sDec + check digit), HexToBin(sHex + checksum), sBin, CalcCRCBin(sBin).
QByteArray BuildCardRecord(const QString &sDec, const QString &sHex, const QByteArray &sBin);

QString GetIssuerID();
