// The frame trace: every frame sent, and every frame accepted, dropped or set aside with the
// reason, as an event for whoever listens (the frame monitor) and as a line under the logging
// category "porteval.link" (off unless enabled, e.g. QT_LOGGING_RULES="porteval.link.debug=true").
// Key bytes show as "**" in the log unless PORTEVAL_TRACE_KEYS=1 is set; a listener gets them
// with their place marked and decides itself. Whatever may hold a key is marked so: a command's
// keys, and everything received but the answers of commands that carry none.
#pragma once

#include "link/answer_parser.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QTime>

#include <functional>

Q_DECLARE_LOGGING_CATEGORY(lcLink)

// A line of the trace about the link rather than a frame, e.g. why a port did not open or was
// lost, in the frames' format: "14:02:11.504 -- text".
void traceLinkNote(const QString &text);

struct FrameEvent
{
    enum class Kind {
        Sent,
        Accepted,
        Dropped,
        TimedOut, // the wait for the last command's answer ran out (no frame)
        PortLost, // the device went away (no frame; `note` says what the system reported)
    };

    QTime time;
    Kind kind = Kind::Sent;
    quint8 command = 0; // the command sent, or the last one sent before this answer
    quint8 code = 0; // response code of an accepted answer
    FrameDrop drop = FrameDrop::None;
    QByteArray frame; // as on the wire
    qsizetype keyFrom = 0; // frame bytes [keyFrom, keyTo) carry key bytes
    qsizetype keyTo = 0;
    QString note;
    // Received while no command waited, and set aside: no answer to anything. Its data is
    // masked whatever it holds, since nothing says which command it answers.
    bool setAside = false;

    const char *commandName() const;
    // The frame in hex, key bytes as "**" unless `showKeys`.
    QString hex(bool showKeys) const;
};

class FrameTrace
{
public:
    using Listener = std::function<void(const FrameEvent &)>;

    FrameTrace();

    void setListener(Listener listener) { m_listener = std::move(listener); }

    void sent(quint8 code, const QByteArray &data, const QByteArray &frame);
    // `frame` as received since the last frame accepted, with what the parser made of it.
    void received(const QByteArray &frame, const ParsedAnswer &answer, bool setAside = false);
    // Bytes set aside before a command that never made up a frame.
    void setAside(const QByteArray &bytes);
    void timedOut();
    void portLost(const QString &reason);

    // The frame offsets [from, to) of data bytes `first` to `last` (inclusive), the data
    // starting at frame offset `dataStart` and ending where the check field begins,
    // `dataEnd`. An escape pair stands for one data byte and is covered whole.
    static std::pair<qsizetype, qsizetype> dataSpan(const QByteArray &frame, qsizetype dataStart,
                                                    qsizetype dataEnd, qsizetype first,
                                                    qsizetype last);
    // The frame as spaced hex with the bytes [from, to) shown as "**".
    static QString maskedHex(const QByteArray &frame, qsizetype from, qsizetype to);

private:
    bool wanted() const;
    FrameEvent newEvent(FrameEvent::Kind kind);
    // The time of day to the millisecond. The monitor collects every frame from the start, and a
    // line pouring junk gives thousands a second: the clock's local time, with its time zone, is
    // read once a second, and the milliseconds since counted on the monotonic clock.
    QTime now();
    void publish(const FrameEvent &event);

    Listener m_listener;
    bool m_showKeys = false;
    quint8 m_lastCommand = 0;
    char m_cardKind = 0; // first record byte of the last block 0 written: which card it is
    QTime m_timeRead;
    QElapsedTimer m_sinceTimeRead;
};
