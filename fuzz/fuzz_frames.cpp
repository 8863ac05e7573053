// Arbitrary byte streams through the receive assembler and the answer check, and arbitrary
// text through the hex and card-record routines. Any crash, leak, hang or undefined behaviour
// is a finding; the invariants below are checked as well.
#include "commands/card_record.h"
#include "link/answer_parser.h"
#include "link/calc_crc16.h"
#include "link/frame.h"
#include "require.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    FrameAssembler assembler;
    for (char b : bytes) {
        if (const auto answer = assembler.feed(b)) {
            if (answer->accepted())
                require(answer->data.size() < 32764 - 8);
        }
    }
    const ParsedAnswer whole = ParseAnswer(bytes);
    if (whole.accepted())
        require(bytes.front() == Frame::kStart && bytes.back() == Frame::kEnd);

    // Escaping must round-trip whatever the data.
    require(unescapeBytes(escapeData(bytes)) == bytes);
    const QByteArray frame = buildCommandFrame(0x72, GetTermID(), bytes);
    if (!frame.isEmpty()) {
        // The header goes out raw, but neither marker may appear in the escaped data or the
        // check field.
        const QByteArray tail = frame.mid(8, frame.size() - 9);
        require(!tail.contains(Frame::kStart) && !tail.contains(Frame::kEnd));
    }

    const QString text = QString::fromLatin1(bytes);
    require(HexToBin(text).size() == (text.size() + 1) / 2);
    require(CalcCheckDigit(text).size() == 1);
    require(CalcHexChecksum(text).size() == 2);
    const QByteArray record = BuildCardRecord(text, text, bytes);
    require(record.size() >= bytes.size() + 3);
    return 0;
}
