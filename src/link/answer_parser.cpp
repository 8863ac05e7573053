#include "answer_parser.h"

#include "calc_crc16.h"
#include "frame.h"

namespace {
constexpr int kMinFrame = 11; // 02 1B x L L x x x code crc crc 03 without the code is 11
constexpr int kMinLength = 8; // a length below 8 leaves no room for the response code
constexpr int kLengthLimit = 32764;
// Longest frame whose check field can be computed: start marker, checked bytes, field, end.
constexpr int kMaxFrame = kMaxCheckedBytes + 4;
} // namespace

const char *frameDropName(FrameDrop reason)
{
    switch (reason) {
    case FrameDrop::None:
        return "accepted";
    case FrameDrop::Short:
        return "short";
    case FrameDrop::Markers:
        return "markers";
    case FrameDrop::TooLong:
        return "too long";
    case FrameDrop::CheckField:
        return "check field";
    case FrameDrop::Length:
        return "length";
    case FrameDrop::Header:
        return "header";
    }
    return "?";
}

ParsedAnswer ParseAnswer(const QByteArray &frame)
{
    ParsedAnswer result;
    const qsizetype n = frame.size();
    if (n < kMinFrame) {
        result.drop = FrameDrop::Short;
        return result;
    }
    if (frame.front() != Frame::kStart || frame.back() != Frame::kEnd) {
        result.drop = FrameDrop::Markers;
        return result;
    }
    if (n > kMaxFrame) {
        result.drop = FrameDrop::TooLong;
        return result;
    }
    const QByteArray checked = frame.mid(1, n - 4);
    if (GetCRC16(checked) != frame.mid(n - 3, 2)) {
        result.drop = FrameDrop::CheckField;
        return result;
    }
    // Offsets below are those of the unescaped frame, whose start marker is not in `body`.
    const QByteArray body = unescapeBytes(checked);
    const int length = quint8(body[2]) | (quint8(body[3]) << 8);
    if (length >= kLengthLimit || body.size() != length) {
        result.drop = FrameDrop::Length;
        return result;
    }
    if (body[0] != Frame::kAnswerHeader) {
        result.drop = FrameDrop::Header;
        return result;
    }
    if (length < kMinLength) {
        result.drop = FrameDrop::Length;
        return result;
    }
    result.data = body.mid(8, length - kMinLength);
    result.code = quint8(body[7]);
    return result;
}

QByteArray FrameAssembler::takeUnparsed()
{
    const QByteArray unparsed = m_frame.mid(m_parsedEnd);
    m_frame.clear();
    m_parsedEnd = m_shownFrom = m_acceptedEnd = 0;
    return unparsed;
}

std::optional<ParsedAnswer> FrameAssembler::feed(char byte)
{
    const bool collecting = m_frame.size() <= kMaxFrame;
    if (byte == Frame::kStart) {
        m_frame = QByteArray(1, byte);
        m_parsedEnd = m_shownFrom = m_acceptedEnd = 0;
    } else if (collecting) {
        m_frame.append(byte);
    }
    if (byte != Frame::kEnd)
        return std::nullopt;
    // Already longer than any frame that can be accepted: until the next start marker nothing
    // can be, so collecting stopped instead of growing without bound.
    const ParsedAnswer answer
        = collecting ? ParseAnswer(m_frame) : ParsedAnswer { FrameDrop::TooLong, 0, {} };
    m_shownFrom = m_acceptedEnd;
    m_parsedEnd = m_frame.size();
    if (answer.accepted())
        m_acceptedEnd = m_parsedEnd;
    return answer;
}
