#include "texts/language_table.h"

#include "platform/ansi_text.h"

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

namespace {

// Splits a byte stream into physical lines (CR LF, LF or CR) without holding more than
// kMaxMessageLength bytes of any line, so that a huge file without line breaks costs one pass
// and little memory.
class LineReader
{
public:
    explicit LineReader(QIODevice &device)
        : m_device(device)
    { }

    // False at the end of the file. `line` gets the first kMaxMessageLength bytes; `lastByte`
    // the line's real last byte, which decides whether it continues on the next line.
    bool next(QByteArray &line, char &lastByte)
    {
        line.clear();
        lastByte = 0;
        bool any = false;
        for (;;) {
            if (m_pos >= m_buffer.size() && !refill())
                return any;
            any = true;
            const char *begin = m_buffer.constData() + m_pos;
            const qsizetype available = m_buffer.size() - m_pos;
            qsizetype n = 0;
            while (n < available && begin[n] != '\n' && begin[n] != '\r')
                ++n;
            if (n > 0) {
                const qsizetype room = LanguageTable::kMaxMessageLength - line.size();
                if (room > 0)
                    line.append(begin, qMin(room, n));
                lastByte = begin[n - 1];
            }
            m_pos += n;
            if (n < available) {
                const char end = m_buffer[m_pos++];
                if (end == '\r') {
                    if (m_pos >= m_buffer.size())
                        refill();
                    if (m_pos < m_buffer.size() && m_buffer[m_pos] == '\n')
                        ++m_pos;
                }
                return true;
            }
        }
    }

private:
    bool refill()
    {
        m_buffer = m_device.read(1 << 16);
        m_pos = 0;
        return !m_buffer.isEmpty();
    }

    QIODevice &m_device;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
};

} // namespace

LanguageTable::LanguageTable()
{
    for (auto &slot : sMisTable)
        slot.resize(kLastMessage + 1);
}

QString LanguageTable::fileName(int fileNumber)
{
    return u"MisI0"_s + QString::number(fileNumber) + u".dat"_s;
}

void LanguageTable::LoadMisFile(const QString &folder)
{
    const QDir dir(folder);
    // Listing the folder, rather than asking for the file, keeps the comparison exact in
    // letter case also where the file system ignores case.
    const QStringList present = dir.entryList(QDir::Files | QDir::Readable | QDir::Hidden);
    int loaded = 0;
    m_fileInSlot = {};
    for (int n = kLastFile; n >= kFirstFile; --n) {
        const QString name = fileName(n);
        if (!present.contains(name, Qt::CaseSensitive))
            continue;
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        loadLanguage(file, kSlots - 1 - loaded);
        m_fileInSlot[std::size_t(kSlots - 1 - loaded)] = n;
        ++loaded;
    }
    iIdioma = qint16(loaded == 0 ? 0 : kSlots - loaded);
}

void LanguageTable::loadLanguage(QIODevice &device, int slot)
{
    if (slot < 1 || slot >= kSlots)
        return;
    LineReader reader(device);
    QByteArray line;
    QByteArray more;
    char last = 0;
    char moreLast = 0;
    for (int k = 1; k <= kFilesRead && reader.next(line, last); ++k) {
        // A line ending in "~" goes on with the next physical line, after the "~", for as long
        // as the joined line still ends in "~": an empty line leaves it so.
        while (last == '~' && reader.next(more, moreLast)) {
            const qsizetype room = kMaxMessageLength - line.size();
            if (room > 0)
                line.append(more.left(room));
            if (!more.isEmpty())
                last = moreLast;
        }
        sMisTable[slot][k] = fromAnsi(line).replace(u'~', u"\r\n"_s);
    }
}

int LanguageTable::slotOfFile(int fileNumber) const
{
    for (int slot = 1; slot < kSlots; ++slot) {
        if (m_fileInSlot[std::size_t(slot)] == fileNumber)
            return slot;
    }
    return 0;
}

QString LanguageTable::GetMis(int number) const
{
    return message(iIdioma, number);
}

QString LanguageTable::message(int slot, int number) const
{
    if (slot < 0 || slot >= kSlots || number < 0 || number > kLastMessage)
        return {};
    return sMisTable[slot][number];
}
