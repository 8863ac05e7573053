// Arbitrary bytes as a site profile, read over what the window's boxes hold (Load profile…) and
// over the fields' starting values (porteval-cli --profile), and its configuration fields then
// read by the number rule into a configuration card. Whatever is accepted must be within what
// the window's boxes take, must read back the same once saved, and must give the card the bytes
// the fields say.
#include "commands/cards.h"
#include "commands/profile.h"
#include "platform/number_text.h"
#include "require.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace Qt::StringLiterals;

namespace {
QTemporaryDir &scratch()
{
    static QTemporaryDir dir;
    return dir;
}

// A new name for every file: QSettings keeps the files it has read and would take one
// rewritten within the same millisecond, at the same size, from there.
QString freshPath()
{
    static quint64 count = 0;
    return scratch().filePath(QString::number(++count) + u".ini"_s);
}

QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    require(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    return path;
}

bool sameProfile(const Profile &a, const Profile &b)
{
    for (const ConfigFieldName &key : kConfigFieldNames) {
        if (a.config.*key.field != b.config.*key.field)
            return false;
    }
    return a.slot == b.slot && a.messages == b.messages && a.oldKey == b.oldKey;
}

// The window's boxes: the configuration fields, the message slot and texts, the old key.
void requireWithinBoxes(const Profile &profile)
{
    for (const ConfigFieldName &key : kConfigFieldNames)
        require((profile.config.*key.field).size() <= kProfileFieldLength);
    require(profile.slot >= 1 && profile.slot <= 8);
    for (const QString &text : profile.messages)
        require(text.size() <= kProfileMessageLength);
    require(!profile.oldKey || profile.oldKey->size() <= kProfileKeyLength);
}

// A configuration card from these fields: refused with the message naming the first field
// out of range, in the card's order, or built with each field's byte in its place.
void requireConfigCard(const ConfigFieldTexts &fields)
{
    const QString *const ranged[]
        = { &fields.uart0,       &fields.uart1,       &fields.startPosition, &fields.endPosition,
            &fields.blockNumber, &fields.refreshTime, &fields.backlightTime };
    int refusal = 0;
    quint8 value[7] = {};
    for (int i = 0; i < 7; ++i) {
        const std::optional<double> read = readNumber(*ranged[i]);
        require(!read || std::isfinite(*read));
        const std::optional<quint8> byte = roundToByte(read);
        if (byte)
            require(std::abs(*read - *byte) <= 0.5);
        if (!byte && refusal == 0)
            refusal = kFirstFieldErrorMessage + i;
        value[i] = byte.value_or(0);
    }
    if (refusal == 0 && value[4] / 4 >= kSectors)
        refusal = kBlockWithoutKeyMessage;

    const CardRecordOrError built = configCardRecord(fields, ReaderFieldStore());
    require(built.errorMessage == refusal);
    if (refusal != 0)
        return;
    const QByteArray &record = built.record;
    require(record.size() == 48);
    // After the five bytes of the decimal piece: UART0, UART1, mode, 0F, start and end, the
    // block, the two times.
    require(quint8(record[5]) == value[0] && quint8(record[6]) == value[1]);
    require(quint8(record[9]) == ((value[2] & 0x0F) << 4 | (value[3] & 0x0F)));
    require(quint8(record[10]) == value[4] && quint8(record[11]) == value[5]
            && quint8(record[12]) == value[6]);
}
} // namespace

// Two settings for speed, both before libFuzzer reads its flags. Every input is written,
// saved and read back as files: in a memory file system when there is one, since saving syncs a
// profile to the disk. And QSettings keeps the last few files it read, so an input rarely frees
// as much as it allocates, which makes libFuzzer look for leaks after nearly every input (ten
// times slower); leaks are left to the sanitizer run of the tests, which load profiles too. A
// -detect_leaks given on the command line still wins.
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    if (QFileInfo(u"/dev/shm"_s).isWritable())
        qputenv("TMPDIR", "/dev/shm");
    static int appArgc = 1;
    static QCoreApplication app(appArgc, *argv); // as the programs that read profiles have
    static std::vector<char *> arguments;
    static char noLeakChecks[] = "-detect_leaks=0";
    arguments.assign(*argv, *argv + *argc);
    arguments.insert(arguments.begin() + 1, noLeakChecks);
    arguments.push_back(nullptr);
    *argc += 1;
    *argv = arguments.data();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString path = writeFile(freshPath(), bytes);

    // The window: what its boxes hold stays where the profile says nothing.
    Profile shown;
    shown.config = ReaderFieldValues().config;
    shown.messages[1] = u"Tarjeta aceptada"_s;
    ProfileError error;
    const std::optional<Profile> loaded = loadProfile(path, shown, &error);
    require(loaded.has_value() == error.text().isEmpty());

    // The command line: a profile over the fields' starting values.
    Profile starting;
    starting.config = ReaderFieldValues().config;
    const std::optional<Profile> cli = loadProfile(path, starting, &error);
    QFile::remove(path);
    require(cli.has_value() == loaded.has_value());
    if (!loaded)
        return 0;

    requireWithinBoxes(*loaded);
    const QString savedPath = freshPath();
    require(saveProfile(savedPath, *loaded, &error));
    const std::optional<Profile> reloaded = loadProfile(savedPath, Profile(), &error);
    QFile::remove(savedPath);
    require(reloaded && sameProfile(*reloaded, *loaded));

    // The two readings differ only where the window's boxes held something of their own.
    for (const ConfigFieldName &key : kConfigFieldNames)
        require(cli->config.*key.field == loaded->config.*key.field);
    for (std::size_t i = 0; i < 8; ++i)
        require(i == 1 || cli->messages[i] == loaded->messages[i]);
    require(cli->slot == loaded->slot);
    requireConfigCard(cli->config);
    return 0;
}
