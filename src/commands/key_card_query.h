// Reading the keys of a key card, and the two reader information commands.
#pragma once

class ReaderWindow;

inline constexpr int kSectors = 16;

// One key query per sector 0 to 15, each answer shown in its key box as received; the first
// failure ends the query there. A complete read arms the card buttons.
void cmdGetInfoKeyCard(ReaderWindow &window);

// Shows the terminal's firmware version after " >> " on the status line.
void GetFWVersion(ReaderWindow &window);

// Makes the terminal beep; the answer is not awaited.
void BeepSound(ReaderWindow &window);
