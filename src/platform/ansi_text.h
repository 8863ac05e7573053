// The single-byte character set of the language files and of the texts that travel to the
// terminal: Windows-1252.
#pragma once

#include <QByteArray>
#include <QString>

QString fromAnsi(const QByteArray &bytes);

// One byte per character; a character without a Windows-1252 byte becomes "?".
QByteArray toAnsi(const QString &text);

// The same two without Qt's converter, which exists only where Qt has ICU: Qt for Windows as
// the project builds it has none, and there these stand in.
QString fromAnsiByTable(const QByteArray &bytes);
QByteArray toAnsiByTable(const QString &text);
