#include "frame_trace.h"

#include "link/command_set.h"
#include "link/frame.h"

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcLink, "porteval.link", QtWarningMsg)

namespace {

constexpr qsizetype kCommandDataStart = 8; // 02, code, 81, length (2), identifier (3)
constexpr qsizetype kAnswerDataStart = 9; // 02, 1B, x, length (2), x (3), code, unescaped
constexpr char kMasterCard = 0x69;
constexpr char kConfigCard = 0x54;

// Where the answer data begins in the frame as received: the whole answer is escaped, so its
// header may hold escape pairs too.
qsizetype answerDataStart(const QByteArray &frame)
{
    qsizetype unescaped = 1;
    qsizetype i = 1;
    while (unescaped < kAnswerDataStart && i < frame.size()) {
        const bool pair = i + 1 < frame.size() && isEscapePair(frame[i], frame[i + 1]);
        i += pair ? 2 : 1;
        ++unescaped;
    }
    return i;
}

// The received bytes [from, to) that may be data, up to `dataEnd`: after the header of a frame
// that begins with its start marker; all of them when its start was lost (cut by the flush at
// the open, or before the last frame accepted), since nothing says where the data begins.
std::pair<qsizetype, qsizetype> receivedDataSpan(const QByteArray &bytes, qsizetype dataEnd)
{
    const qsizetype from
        = bytes.startsWith(Frame::kStart) ? qMin(answerDataStart(bytes), bytes.size()) : 0;
    return { from, bytes.startsWith(Frame::kStart) ? qMax(from, dataEnd) : bytes.size() };
}

QString timeStamp(const QTime &time)
{
    return time.toString(u"HH:mm:ss.zzz"_s);
}

} // namespace

void traceLinkNote(const QString &text)
{
    if (lcLink().isDebugEnabled())
        qCDebug(lcLink).noquote() << timeStamp(QTime::currentTime()) << "--" << text;
}

const char *FrameEvent::commandName() const
{
    const TerminalCommand *entry = findCommand(command);
    return entry ? entry->name : "unknown command";
}

QString FrameEvent::hex(bool showKeys) const
{
    return showKeys ? FrameTrace::maskedHex(frame, 0, 0)
                    : FrameTrace::maskedHex(frame, keyFrom, keyTo);
}

FrameTrace::FrameTrace()
    : m_showKeys(qEnvironmentVariableIntValue("PORTEVAL_TRACE_KEYS") == 1)
{ }

std::pair<qsizetype, qsizetype> FrameTrace::dataSpan(const QByteArray &frame, qsizetype dataStart,
                                                     qsizetype dataEnd, qsizetype first,
                                                     qsizetype last)
{
    qsizetype from = dataEnd;
    qsizetype to = dataEnd;
    qsizetype dataIndex = 0;
    for (qsizetype i = dataStart; i < dataEnd; ++i, ++dataIndex) {
        if (dataIndex == first)
            from = i;
        if (i + 1 < dataEnd && isEscapePair(frame[i], frame[i + 1]))
            ++i;
        if (dataIndex == last) {
            to = i + 1;
            break;
        }
    }
    return { qMin(from, to), to };
}

QString FrameTrace::maskedHex(const QByteArray &frame, qsizetype from, qsizetype to)
{
    static const char digits[] = "0123456789ABCDEF";
    QString text(frame.size() * 3 - (frame.isEmpty() ? 0 : 1), u' ');
    QChar *out = text.data();
    for (qsizetype i = 0; i < frame.size(); ++i, out += 3) {
        const bool hide = i >= from && i < to;
        out[0] = QLatin1Char(hide ? '*' : digits[quint8(frame[i]) >> 4]);
        out[1] = QLatin1Char(hide ? '*' : digits[quint8(frame[i]) & 0xF]);
    }
    return text;
}

QTime FrameTrace::now()
{
    if (!m_sinceTimeRead.isValid() || m_sinceTimeRead.elapsed() >= 1000) {
        m_timeRead = QTime::currentTime();
        m_sinceTimeRead.start();
    }
    return m_timeRead.addMSecs(int(m_sinceTimeRead.elapsed()));
}

FrameEvent FrameTrace::newEvent(FrameEvent::Kind kind)
{
    FrameEvent event;
    event.time = now();
    event.kind = kind;
    event.command = m_lastCommand;
    return event;
}

bool FrameTrace::wanted() const
{
    return m_listener || lcLink().isDebugEnabled();
}

void FrameTrace::sent(quint8 code, const QByteArray &data, const QByteArray &frame)
{
    m_lastCommand = code;
    if (code == Cmd::SetCfgCard && data.size() > 2 && data[1] == 0)
        m_cardKind = data[2];
    if (!wanted())
        return;

    FrameEvent event = newEvent(FrameEvent::Kind::Sent);
    event.frame = frame;
    // Which data bytes are key bytes: all of a key download; in a card block, the key that
    // the master card carries in block 0 or the configuration card at the start of block 1.
    const qsizetype dataEnd = frame.size() - 3;
    std::optional<std::pair<qsizetype, qsizetype>> keys;
    if (code == Cmd::DownloadKeys) {
        keys = { 0, data.size() - 1 };
    } else if (code == Cmd::SetCfgCard && data.size() == 18) {
        if (data[1] == 0 && data[2] == kMasterCard)
            keys = { 2 + 7, 2 + 12 };
        else if (data[1] == 1 && m_cardKind == kConfigCard)
            keys = { 2 + 1, 2 + 6 };
    }
    if (keys) {
        std::tie(event.keyFrom, event.keyTo)
            = dataSpan(frame, kCommandDataStart, dataEnd, keys->first, keys->second);
    }
    publish(event);
}

void FrameTrace::received(const QByteArray &frame, const ParsedAnswer &answer, bool setAside)
{
    if (!wanted())
        return;
    FrameEvent event
        = newEvent(answer.accepted() ? FrameEvent::Kind::Accepted : FrameEvent::Kind::Dropped);
    event.code = answer.code;
    event.drop = answer.drop;
    event.frame = frame;
    event.setAside = setAside;
    // The key query's answer is the key itself; what no command awaited, or what was dropped,
    // may be anything, a key left over from an earlier query included.
    if (m_lastCommand == Cmd::GetInfoKeyCard || setAside || !answer.accepted())
        std::tie(event.keyFrom, event.keyTo) = receivedDataSpan(frame, frame.size() - 3);
    publish(event);
}

void FrameTrace::setAside(const QByteArray &bytes)
{
    if (!wanted() || bytes.isEmpty())
        return;
    FrameEvent event = newEvent(FrameEvent::Kind::Dropped);
    // A part-frame lacks its end marker, which the parser says once it is long enough.
    event.drop = bytes.startsWith(Frame::kStart) ? ParseAnswer(bytes).drop : FrameDrop::Short;
    event.frame = bytes;
    event.setAside = true;
    std::tie(event.keyFrom, event.keyTo) = receivedDataSpan(bytes, bytes.size());
    publish(event);
}

void FrameTrace::timedOut()
{
    if (!wanted())
        return;
    publish(newEvent(FrameEvent::Kind::TimedOut));
}

void FrameTrace::portLost(const QString &reason)
{
    if (!wanted())
        return;
    FrameEvent event = newEvent(FrameEvent::Kind::PortLost);
    event.note = reason;
    publish(event);
}

void FrameTrace::publish(const FrameEvent &event)
{
    if (m_listener)
        m_listener(event);
    if (!lcLink().isDebugEnabled())
        return;
    const QString stamp = timeStamp(event.time);
    const char *name = event.commandName();
    switch (event.kind) {
    case FrameEvent::Kind::Sent:
        qCDebug(lcLink).noquote() << stamp << "->" << name << event.hex(m_showKeys);
        break;
    case FrameEvent::Kind::Accepted:
        qCDebug(lcLink).noquote() << stamp << (event.setAside ? "<- set aside" : "<-") << name
                                  << "code" << int(event.code) << event.hex(m_showKeys);
        break;
    case FrameEvent::Kind::Dropped:
        qCDebug(lcLink).noquote() << stamp
                                  << (event.setAside ? "<- set aside, dropped" : "<- dropped")
                                  << u"(%1)"_s.arg(QLatin1String(frameDropName(event.drop))) << name
                                  << event.hex(m_showKeys);
        break;
    case FrameEvent::Kind::TimedOut:
        qCDebug(lcLink).noquote() << stamp << "-- no answer in time to" << name;
        break;
    case FrameEvent::Kind::PortLost:
        qCDebug(lcLink).noquote() << stamp << "-- port lost:" << event.note;
        break;
    }
}
