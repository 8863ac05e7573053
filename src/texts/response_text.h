// Response codes in words of the current language, and the formats of the status line.
#pragma once

#include <QString>

class LanguageTable;

// The message number that holds the text of response code `code`; 169 for a code without a
// text of its own.
int responseMessageNumber(quint8 code);

// The text of `bNumResp`; a code without a text of its own gets message 169, " (", the
// code in decimal, ")".
QString GetMisResp(quint8 bNumResp, const LanguageTable &table);

// `label` + " OK" for 0, otherwise `label` + " ERROR( n)": one blank before the number.
QString statusWithResult(const QString &label, quint8 iVal);
