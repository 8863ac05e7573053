#include "terminal_engine.h"

#include "link/calc_crc16.h"
#include "link/command_set.h"
#include "link/frame.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr int kAnswerLengthOverhead = 8; // 1B, one byte, length field, three bytes, code
constexpr qint64 kNsPerMs = 1'000'000;
constexpr qint64 kNsPerByteAtOneBaud = 10'000'000'000; // ten bits a byte

constexpr quint8 kLengthError = 'L';
constexpr quint8 kCommandError = 'E';

constexpr int kKeyDownloadLength = 16 * 6;
constexpr int kInitCardLength = 85;
constexpr int kBlockWriteLength = 18;
constexpr int kBeepLength = 41;

} // namespace

const char *commandFaultName(CommandFault fault)
{
    switch (fault) {
    case CommandFault::None:
        return "none";
    case CommandFault::Header:
        return "header";
    case CommandFault::Length:
        return "length";
    case CommandFault::EndMarker:
        return "end marker";
    case CommandFault::CheckField:
        return "check field";
    }
    return "?";
}

QByteArray buildAnswerFrame(quint8 code, const QByteArray &data, SimStep::Fault fault)
{
    const int length
        = int(data.size()) + kAnswerLengthOverhead + (fault == SimStep::Fault::LongLength ? 1 : 0);
    QByteArray region;
    region.reserve(data.size() + kAnswerLengthOverhead);
    region += fault == SimStep::Fault::BadHeader ? char(0x1C) : Frame::kAnswerHeader;
    region += '\0';
    region += char(length & 0xFF);
    region += char((length >> 8) & 0xFF);
    region += QByteArray(3, '\0');
    region += char(code);
    region += data;

    // Positions that go out as they are instead of escaped.
    QList<qsizetype> raw;
    if (fault == SimStep::Fault::RawCode)
        raw.append(kAnswerLengthOverhead - 1);
    if (fault == SimStep::Fault::Raw03) {
        for (qsizetype i = kAnswerLengthOverhead; i < region.size(); ++i) {
            if (region[i] == Frame::kEnd)
                raw.append(i);
        }
        if (raw.isEmpty()) {
            region[4] = Frame::kEnd;
            raw.append(4);
        }
    }

    QByteArray escaped;
    escaped.reserve(region.size() + 8);
    for (qsizetype i = 0; i < region.size(); ++i) {
        const QByteArray byte(1, region[i]);
        escaped += raw.contains(i) ? byte : escapeData(byte);
    }
    QByteArray check = GetCRC16(escaped);
    if (fault == SimStep::Fault::BadCheck)
        check[1] = char(check[1] ^ 0x01); // never makes a marker: the field holds none
    return Frame::kStart + escaped + check + Frame::kEnd;
}

TerminalSimulator::TerminalSimulator(QObject *parent)
    : TerminalSimulator(SimOptions(), parent)
{ }

TerminalSimulator::TerminalSimulator(const SimOptions &options, QObject *parent)
    : QObject(parent)
{
    m_clock.start();
    m_sendTimer.setSingleShot(true);
    m_sendTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_sendTimer, &QTimer::timeout, this, &TerminalSimulator::pump);
    setOptions(options);
}

void TerminalSimulator::setOptions(const SimOptions &options)
{
    m_options = options;
    m_ruleCounts = QList<int>(m_options.rules.size(), 0);
    m_random.seed(m_options.chaos.seed);
}

void TerminalSimulator::setRules(const QList<SimRule> &rules)
{
    m_options.rules = rules;
    m_ruleCounts = QList<int>(rules.size(), 0);
}

void TerminalSimulator::addRule(const SimRule &rule)
{
    m_options.rules.append(rule);
    m_ruleCounts.append(0);
}

bool TerminalSimulator::addRule(const QString &ruleText, QString *error)
{
    const auto rule = parseSimRule(ruleText, error);
    if (rule)
        addRule(*rule);
    return rule.has_value();
}

void TerminalSimulator::setKey(int sector, const QString &keyHex)
{
    if (sector >= 0 && sector < kSimSectors)
        m_options.keys[sector] = keyHex;
}

void TerminalSimulator::setKeys(const std::array<QString, kSimSectors> &keys)
{
    m_options.keys = keys;
}

void TerminalSimulator::setBaudRate(int baudRate)
{
    m_options.baudRate = std::max(0, baudRate);
}

void TerminalSimulator::setAnswerDelay(int ms)
{
    m_options.answerDelayMs = std::max(0, ms);
}

void TerminalSimulator::setChaos(const SimChaos &chaos)
{
    m_options.chaos = chaos;
    m_random.seed(chaos.seed);
}

void TerminalSimulator::setFirmwareVersion(const QString &version)
{
    m_options.firmwareVersion = version;
}

void TerminalSimulator::receive(const QByteArray &bytesFromProgram)
{
    for (char byte : bytesFromProgram) {
        if (m_gone)
            return;
        consume(byte);
    }
}

void TerminalSimulator::reset()
{
    resetReceiver();
    m_queue.clear();
    m_segmentActive = false;
    m_sendTimer.stop();
    m_gone = false;
    ++m_generation;
}

void TerminalSimulator::sendRaw(const QByteArray &bytes, int pauseMs)
{
    if (bytes.isEmpty() || m_gone)
        return;
    m_queue.append({ bytes, std::max(0, pauseMs), false });
    schedule();
}

// Frames are read by their length field, because the header goes out raw and may hold
// marker bytes; a start marker only counts as one between frames.
void TerminalSimulator::consume(char byte)
{
    switch (m_rxState) {
    case RxState::Idle:
        if (byte == Frame::kStart) {
            m_rxRaw = QByteArray(1, byte);
            m_rxState = RxState::Header;
        }
        return;
    case RxState::Header: {
        m_rxRaw.append(byte);
        if (m_rxRaw.size() == 3 && byte != Frame::kCommandHeader) {
            rejectAndRescan(CommandFault::Header);
            return;
        }
        if (m_rxRaw.size() < 1 + 2 + 2 + 3)
            return;
        const int length = quint8(m_rxRaw[3]) | (quint8(m_rxRaw[4]) << 8);
        if (length < Frame::kCommandLengthOverhead || length > kMaxCheckedBytes) {
            rejectAndRescan(CommandFault::Length);
            return;
        }
        m_rxDataLength = length - Frame::kCommandLengthOverhead;
        m_rxState = RxState::Data;
        if (m_rxDataLength == 0)
            dataByteDone();
        return;
    }
    case RxState::Data:
        m_rxRaw.append(byte);
        consumeData(byte);
        return;
    case RxState::Check:
        m_rxRaw.append(byte);
        if (m_rxRaw.size() == m_rxCheckStart + 2)
            m_rxState = RxState::End;
        return;
    case RxState::End:
        if (byte != Frame::kEnd) {
            finishFrame(CommandFault::EndMarker, checkFieldOk());
            consume(byte); // may be the start of the next frame
            return;
        }
        m_rxRaw.append(byte);
        const bool ok = checkFieldOk();
        finishFrame(ok ? CommandFault::None : CommandFault::CheckField, ok);
        return;
    }
}

void TerminalSimulator::consumeData(char byte)
{
    if (m_rxEscapePending) {
        m_rxEscapePending = false;
        const quint8 next = quint8(byte);
        if (next == 0x80 || next == 0x82 || next == 0x83) {
            m_rxData.append(char(next == 0x80 ? 0x80 : next - 0x80));
            dataByteDone();
            return;
        }
        // A lone 0x80 stands for itself, as unescapeBytes reads it.
        m_rxData.append(Frame::kEscape);
        if (m_rxData.size() == m_rxDataLength) {
            m_rxCheckStart = m_rxRaw.size() - 1; // this byte already opens the check field
            m_rxState = RxState::Check;
            return;
        }
    }
    if (byte == Frame::kEscape) {
        m_rxEscapePending = true;
        return;
    }
    m_rxData.append(byte);
    dataByteDone();
}

void TerminalSimulator::dataByteDone()
{
    if (m_rxData.size() < m_rxDataLength)
        return;
    m_rxCheckStart = m_rxRaw.size();
    m_rxState = RxState::Check;
}

bool TerminalSimulator::checkFieldOk() const
{
    return GetCRC16(m_rxRaw.mid(1, m_rxCheckStart - 1)) == m_rxRaw.mid(m_rxCheckStart, 2);
}

// The header was wrong, so the start marker probably was not one: look for the next one
// among the header bytes already taken.
void TerminalSimulator::rejectAndRescan(CommandFault fault)
{
    const QByteArray rest = m_rxRaw.mid(1);
    finishFrame(fault, false);
    for (char byte : rest)
        consume(byte);
}

void TerminalSimulator::finishFrame(CommandFault fault, bool checkOk)
{
    ReceivedFrame frame;
    frame.raw = m_rxRaw;
    frame.code = m_rxRaw.size() > 1 ? quint8(m_rxRaw[1]) : 0;
    frame.data = m_rxData;
    frame.checkOk = checkOk;
    frame.fault = fault;
    frame.msSinceStart = m_clock.elapsed();
    resetReceiver();

    if (m_frames.size() == kKeptFrames)
        m_frames.removeFirst();
    m_frames.append(frame);
    emit frameReceived(frame);
    if (!frame.good() || m_gone)
        return;
    const Outcome outcome = carryOut(frame.code, frame.data);
    queueAnswer(stepsFor(frame.code, frame.data), outcome);
}

void TerminalSimulator::resetReceiver()
{
    m_rxState = RxState::Idle;
    m_rxRaw.clear();
    m_rxData.clear();
    m_rxDataLength = 0;
    m_rxCheckStart = 0;
    m_rxEscapePending = false;
}

TerminalSimulator::Outcome TerminalSimulator::carryOut(quint8 code, const QByteArray &data)
{
    switch (code) {
    case Cmd::GetInfoKeyCard: {
        if (data.size() != 1)
            return { kLengthError, {} };
        const int sector = quint8(data[0]);
        if (sector >= kSimSectors)
            return { kCommandError, {} };
        return { Resp::Success, m_options.keys[sector].toLatin1() };
    }
    case Cmd::DownloadKeys:
        if (data.size() != kKeyDownloadLength)
            return { kLengthError, {} };
        m_downloadedKeys = data;
        return { Resp::Success, {} };
    case Cmd::InitCfgCard:
        if (data.size() != kInitCardLength)
            return { kLengthError, {} };
        m_initData = data;
        return { Resp::Success, {} };
    case Cmd::SetCfgCard:
        if (data.size() != kBlockWriteLength)
            return { kLengthError, {} };
        if (data[0] != 0x02)
            return { kCommandError, {} };
        m_blocks.insert(quint8(data[1]), data.mid(2));
        return { Resp::Success, {} };
    case Cmd::GetFWVersion:
        return { Resp::Success, m_options.firmwareVersion.toLatin1() };
    case Cmd::BeepSound:
        if (data.size() != kBeepLength)
            return { kLengthError, {} };
        return { Resp::Success, {} };
    default:
        return { kCommandError, {} };
    }
}

QList<SimStep> TerminalSimulator::stepsFor(quint8 code, const QByteArray &data)
{
    // Every rule that fits counts the command, also when an earlier rule takes it.
    int chosen = -1;
    for (qsizetype i = 0; i < m_options.rules.size(); ++i) {
        const SimRule &rule = m_options.rules[i];
        if (!rule.matchesCommand(code, data))
            continue;
        ++m_ruleCounts[i];
        if (chosen < 0 && rule.coversCount(m_ruleCounts[i]))
            chosen = int(i);
    }
    if (chosen >= 0)
        return m_options.rules[chosen].steps;
    if (m_options.chaos.enabled)
        return chaosSteps();
    return { SimStep() };
}

QList<SimStep> TerminalSimulator::chaosSteps()
{
    const SimChaos &chaos = m_options.chaos;
    const double roll = m_random.generateDouble();
    if (roll < chaos.silent) {
        SimStep silent;
        silent.kind = SimStep::Kind::Silent;
        return { silent };
    }
    if (roll < chaos.silent + chaos.corrupt) {
        SimStep corrupt;
        corrupt.fault = SimStep::Fault::BadCheck;
        return { corrupt };
    }
    QList<SimStep> steps;
    if (m_random.generateDouble() < chaos.inter) {
        const int count = m_random.bounded(1, 4);
        for (int i = 0; i < count; ++i) {
            SimStep inter;
            inter.code = quint8(m_random.bounded(1, Resp::Waiting + 1));
            steps.append(inter);
        }
    }
    SimStep answer;
    if (m_random.generateDouble() < chaos.split) {
        answer.chunks = m_random.bounded(2, 5);
        answer.chunkGapMs = m_random.bounded(1, 11);
    }
    steps.append(answer);
    return steps;
}

void TerminalSimulator::queueAnswer(const QList<SimStep> &steps, const Outcome &outcome)
{
    int pauseMs = m_options.answerDelayMs;
    bool first = true;
    for (const SimStep &step : steps) {
        pauseMs += step.gapMs >= 0 ? step.gapMs : (first ? 0 : SimStep::kDefaultGapMs);
        first = false;
        if (step.kind == SimStep::Kind::Silent)
            continue; // its pause still holds back what follows

        const quint8 code = step.code.value_or(outcome.code);
        QByteArray data;
        switch (step.data) {
        case SimStep::Data::Auto:
            if (code == outcome.code)
                data = outcome.data;
            break;
        case SimStep::Data::Own:
            data = outcome.data;
            break;
        case SimStep::Data::None:
            break;
        case SimStep::Data::Given:
            data = step.givenData;
            break;
        }
        QByteArray frame = buildAnswerFrame(code, data, step.fault);
        const bool vanish = step.fault == SimStep::Fault::Vanish;
        if (vanish)
            frame.truncate(std::max<qsizetype>(1, frame.size() / 2));

        const qsizetype pieces = std::clamp<qsizetype>(step.chunks, 1, frame.size());
        for (qsizetype i = 0; i < pieces; ++i) {
            const qsizetype from = i * frame.size() / pieces;
            const qsizetype to = (i + 1) * frame.size() / pieces;
            m_queue.append({ frame.mid(from, to - from), i == 0 ? pauseMs : step.chunkGapMs,
                             vanish && i == pieces - 1 });
        }
        pauseMs = 0;
        if (vanish)
            break;
    }
    schedule();
}

void TerminalSimulator::schedule()
{
    if (!m_sendTimer.isActive() && isSending())
        m_sendTimer.start(0);
}

// Sends what is due. Paced bytes leave in step with the clock rather than one per tick, so
// that the rate holds on average however late the timer fires.
void TerminalSimulator::pump()
{
    const quint64 generation = m_generation;
    for (;;) {
        const qint64 now = m_clock.nsecsElapsed();
        if (!m_segmentActive) {
            if (m_queue.isEmpty())
                return;
            m_segment = m_queue.takeFirst();
            m_segmentActive = true;
            m_segmentSent = 0;
            m_segmentStartNs = std::max(now, m_lineFreeNs) + m_segment.pauseMs * kNsPerMs;
        }
        if (now < m_segmentStartNs) {
            m_sendTimer.start(int((m_segmentStartNs - now + kNsPerMs - 1) / kNsPerMs));
            return;
        }
        const int baud = m_options.baudRate;
        const qsizetype size = m_segment.bytes.size();
        const qsizetype due = baud > 0
            ? std::min<qsizetype>(size, (now - m_segmentStartNs) * baud / kNsPerByteAtOneBaud)
            : size;
        if (due > m_segmentSent) {
            const QByteArray chunk = m_segment.bytes.mid(m_segmentSent, due - m_segmentSent);
            m_segmentSent = due;
            emit transmit(chunk);
            if (generation != m_generation)
                return; // reset by whoever took the bytes
        }
        if (m_segmentSent < size) {
            m_sendTimer.start(1);
            return;
        }
        m_lineFreeNs = baud > 0 ? m_segmentStartNs + size * kNsPerByteAtOneBaud / baud : now;
        m_segmentActive = false;
        if (m_segment.vanishAfter) {
            reset();
            m_gone = true;
            emit vanished();
            return;
        }
    }
}
