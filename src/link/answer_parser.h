// Answer frames (terminal to program): the check of one complete frame, and the assembler
// that cuts the received byte stream into frames.
#pragma once

#include <QByteArray>

#include <optional>

enum class FrameDrop {
    None,
    Short, // fewer than 11 bytes
    Markers, // not framed by 0x02 ... 0x03
    TooLong, // more than the check field can cover
    CheckField,
    Length, // length field disagrees with the frame, or out of range
    Header, // second byte is not 0x1B
};

const char *frameDropName(FrameDrop reason);

struct ParsedAnswer
{
    FrameDrop drop = FrameDrop::None;
    quint8 code = 0;
    QByteArray data;

    bool accepted() const { return drop == FrameDrop::None; }
};

// Checks one frame, start marker to end marker, and returns its response code and data,
// unescaped, or the reason it is dropped. The check field covers the bytes as received; the
// length field is read after unescaping.
ParsedAnswer ParseAnswer(const QByteArray &frame);

// Collects received bytes one at a time. A start marker always begins a new frame; an end
// marker runs ParseAnswer on what has been collected, which is kept until the next start
// marker, so that a 0x03 sent unescaped inside a frame only costs one dropped parse.
class FrameAssembler
{
public:
    // The parse result when `byte` was an end marker, nothing otherwise.
    std::optional<ParsedAnswer> feed(char byte);

    const QByteArray &collected() const { return m_frame; }
    // What the last parse was about: what was collected, but for a frame accepted before it
    // (junk after an answer is shown as junk, not as that answer again).
    QByteArray lastParsed() const { return m_frame.left(m_parsedEnd).mid(m_shownFrom); }
    // What has been collected since the last end marker was parsed, if anything: bytes no
    // frame has accounted for yet. Then starts afresh, as if nothing had been received.
    QByteArray takeUnparsed();

private:
    QByteArray m_frame; // bytes received since the last start marker, that marker first
    qsizetype m_parsedEnd = 0; // where the last parse of m_frame ended
    qsizetype m_shownFrom = 0; // where the last parse's bytes begin to be news
    qsizetype m_acceptedEnd = 0; // where a frame accepted in m_frame ended
};
