// The frame trace: every frame sent, and every frame accepted or dropped with the reason, in
// hex with a millisecond timestamp, under the logging category "porteval.link" (off unless
// enabled, e.g. QT_LOGGING_RULES="porteval.link.debug=true"). Key bytes show as "**" unless
// PORTEVAL_TRACE_KEYS=1 is set.
#pragma once

#include "link/answer_parser.h"

#include <QByteArray>
#include <QLoggingCategory>

#include <functional>

Q_DECLARE_LOGGING_CATEGORY(lcLink)

class FrameTrace
{
public:
    FrameTrace();

    void sent(quint8 code, const QByteArray &data, const QByteArray &frame);
    void received(const QByteArray &frame, const ParsedAnswer &answer);
    void timedOut();

    // The frame as hex, with the frame bytes that carry the data bytes selected by `isKey`
    // shown as "**". `dataStart` is where the (escaped) data begins in the frame and
    // `dataEnd` where the check field begins.
    static QString maskedHex(const QByteArray &frame, qsizetype dataStart, qsizetype dataEnd,
                             const std::function<bool(qsizetype)> &isKey);

private:
    bool m_showKeys = false;
    quint8 m_lastCommand = 0;
    char m_cardKind = 0; // first record byte of the last block 0 written: which card it is
};
