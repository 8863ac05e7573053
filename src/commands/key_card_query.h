// Reading the keys of a key card, and the two reader information commands.
#pragma once

#include <QString>

class ReaderSession;

// One key query per sector 0 to 15, each answer shown in its key box as received; the first
// failure ends the query there. A complete read arms the card buttons. Each operation returns
// the result its status line ends with.
quint8 cmdGetInfoKeyCard(ReaderSession &session);

// Shows the terminal's firmware version after " >> " on the status line; `version`, when
// given, gets it too.
quint8 GetFWVersion(ReaderSession &session, QString *version = nullptr);

// Makes the terminal beep; the answer is not awaited.
quint8 BeepSound(ReaderSession &session);
