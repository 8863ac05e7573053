// The numbered texts of up to five languages, read once from the language files beside the
// program: every caption, tooltip and response text comes from here.
#pragma once

#include <QString>

class QIODevice;

#include <array>
#include <vector>

class LanguageTable
{
public:
    static constexpr int kSlots = 6; // slot 0 stays empty: the language of "no file found"
    static constexpr int kLastMessage = 1000;
    static constexpr int kFilesRead = 999; // messages per file; later lines are ignored
    static constexpr int kFirstFile = 1;
    static constexpr int kLastFile = 5;
    // Longest message kept; the rest of an overlong line is skipped. No real caption comes
    // near it, and a label holding megabytes of text would freeze the window.
    static constexpr int kMaxMessageLength = 4096;

    LanguageTable();

    // "MisI0" + n + ".dat", n = 1 to 5.
    static QString fileName(int fileNumber);

    // Reads every language file present in `folder` (exact file-name case), highest file
    // number into the highest slot, and makes the lowest-numbered file present the current
    // language (slot 0 when there is none). A file that cannot be read counts as absent.
    void LoadMisFile(const QString &folder);

    // Reads one language from `device` into `slot` (1 to 5).
    void loadLanguage(QIODevice &device, int slot);

    // Message `number` of the current language; empty outside 0..1000.
    QString GetMis(int number) const;
    // Message `number` of `slot`, whatever the current language.
    QString message(int slot, int number) const;

    qint16 iIdioma = 0; // current language slot, 0 to 5

    // The slot that file `fileNumber` went into; 0 when it was not loaded.
    int slotOfFile(int fileNumber) const;

private:
    std::array<int, kSlots> m_fileInSlot {};
    std::array<std::vector<QString>, kSlots> sMisTable;
};
