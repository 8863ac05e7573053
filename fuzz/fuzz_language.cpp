// Arbitrary bytes as a language file: loading must end, keep every message within its limit
// and never touch memory it does not own.
#include "texts/language_table.h"

#include <QBuffer>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    LanguageTable table;
    table.loadLanguage(buffer, 5);
    table.iIdioma = 5;
    for (int n = 0; n <= LanguageTable::kLastMessage; ++n) {
        // A "~" becomes two characters, so a kept message is at most twice the limit.
        if (table.GetMis(n).size() > 2 * LanguageTable::kMaxMessageLength)
            std::abort();
    }
    if (!table.GetMis(0).isEmpty() || !table.GetMis(LanguageTable::kFilesRead + 1).isEmpty())
        std::abort();
    return 0;
}
