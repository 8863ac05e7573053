// Arbitrary bytes as a key file given to porteval-cli --keys: reading must end, take only keys
// of exactly 12 hexadecimal digits, as they stand, and give back exactly the keys a key file
// written by read-keys -o holds.
#include "commands/card_write.h"
#include "commands/key_file.h"
#include "require.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {
bool isHexDigits(const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() > 127 || !std::isxdigit(c.unicode()))
            return false;
    }
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    const std::optional<KeyList> keys = parseKeyFile(bytes, &error);
    require(keys.has_value() == error.isEmpty());
    if (!keys)
        return 0;
    require(bytes.size() <= 4096);
    for (const QString &key : *keys) {
        require(key.size() == 12 && isHexDigits(key));
        // Nothing cut or padded on the way to the terminal: six bytes, the ones the file says.
        require(normalizedKey(key) == QByteArray::fromHex(key.toLatin1()));
    }
    // Written again, the keys read back unchanged, and the text is what was read when that
    // was already in the written form.
    const QByteArray written = keyFileText(*keys);
    QString again;
    require(parseKeyFile(written, &again) == keys);
    if (!bytes.contains('\r') && bytes.endsWith('\n'))
        require(written == bytes);
    // Each line of the file is its key, then LF or CR LF: nothing else was let through.
    require(written.size() == 16 * 13
            && bytes.size() + (bytes.endsWith('\n') ? 0 : 1) - bytes.count('\r') == written.size());
    return 0;
}
