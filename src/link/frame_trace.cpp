#include "frame_trace.h"

#include "link/command_set.h"
#include "link/frame.h"

#include <QTime>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcLink, "porteval.link", QtWarningMsg)

namespace {

constexpr qsizetype kCommandDataStart = 8; // 02, code, 81, length (2), identifier (3)
constexpr qsizetype kAnswerDataStart = 9; // 02, 1B, x, length (2), x (3), code, unescaped
constexpr char kMasterCard = 0x69;
constexpr char kConfigCard = 0x54;

QString stamp()
{
    return QTime::currentTime().toString(u"HH:mm:ss.zzz"_s);
}

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

const char *commandName(quint8 code)
{
    const TerminalCommand *command = findCommand(code);
    return command ? command->name : "unknown command";
}

} // namespace

FrameTrace::FrameTrace()
    : m_showKeys(qEnvironmentVariableIntValue("PORTEVAL_TRACE_KEYS") == 1)
{ }

QString FrameTrace::maskedHex(const QByteArray &frame, qsizetype dataStart, qsizetype dataEnd,
                              const std::function<bool(qsizetype)> &isKey)
{
    QStringList parts;
    parts.reserve(frame.size());
    qsizetype dataIndex = 0;
    for (qsizetype i = 0; i < frame.size(); ++i) {
        if (i < dataStart || i >= dataEnd) {
            parts << QString::asprintf("%02X", quint8(frame[i]));
            continue;
        }
        // An escape pair stands for one data byte.
        const bool pair = i + 1 < dataEnd && isEscapePair(frame[i], frame[i + 1]);
        const int width = pair ? 2 : 1;
        const bool hide = isKey(dataIndex++);
        for (int k = 0; k < width; ++k)
            parts << (hide ? u"**"_s : QString::asprintf("%02X", quint8(frame[i + k])));
        i += width - 1;
    }
    return parts.join(u' ');
}

void FrameTrace::sent(quint8 code, const QByteArray &data, const QByteArray &frame)
{
    m_lastCommand = code;
    if (code == Cmd::SetCfgCard && data.size() > 2 && data[1] == 0)
        m_cardKind = data[2];
    if (!lcLink().isDebugEnabled())
        return;

    // Which data bytes are key bytes: all of a key download; in a card block, the key that
    // the master card carries in block 0 or the configuration card at the start of block 1.
    std::function<bool(qsizetype)> isKey = [](qsizetype) {
        return false;
    };
    if (!m_showKeys) {
        if (code == Cmd::DownloadKeys) {
            isKey = [](qsizetype) {
                return true;
            };
        } else if (code == Cmd::SetCfgCard && data.size() == 18) {
            const char block = data[1];
            if (block == 0 && data[2] == kMasterCard)
                isKey = [](qsizetype i) {
                    return i >= 2 + 7 && i < 2 + 13;
                };
            else if (block == 1 && m_cardKind == kConfigCard)
                isKey = [](qsizetype i) {
                    return i >= 2 + 1 && i < 2 + 7;
                };
        }
    }
    qCDebug(lcLink).noquote() << stamp() << "->" << commandName(code)
                              << maskedHex(frame, kCommandDataStart, frame.size() - 3, isKey);
}

void FrameTrace::received(const QByteArray &frame, const ParsedAnswer &answer)
{
    if (!lcLink().isDebugEnabled())
        return;
    // The key query's answer is the key itself.
    const bool hideData = !m_showKeys && m_lastCommand == Cmd::GetInfoKeyCard;
    auto isKey = [hideData](qsizetype) {
        return hideData;
    };
    const QString hex = maskedHex(frame, answerDataStart(frame), frame.size() - 3, isKey);
    if (answer.accepted()) {
        qCDebug(lcLink).noquote() << stamp() << "<-" << commandName(m_lastCommand) << "code"
                                  << int(answer.code) << hex;
    } else {
        const QString reason = u"(%1)"_s.arg(QLatin1String(frameDropName(answer.drop)));
        qCDebug(lcLink).noquote() << stamp() << "<- dropped" << reason << commandName(m_lastCommand)
                                  << hex;
    }
}

void FrameTrace::timedOut()
{
    qCDebug(lcLink).noquote() << stamp() << "-- no answer in time to" << commandName(m_lastCommand);
}
