// The simulated card-reader terminal: reads command frames, carries them out and answers,
// shaped by SimOptions. It only sees bytes, so the same engine sits behind the in-process
// device and the pseudo-terminal program.
#pragma once

#include "sim/sim_rules.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QMetaType>
#include <QObject>
#include <QRandomGenerator>
#include <QTimer>

#include <array>

// Why a received frame was not carried out.
enum class CommandFault {
    None,
    Header, // second byte not 0x81
    Length, // length field below 7 or beyond what a check field can cover
    EndMarker, // no 0x03 after the check field
    CheckField,
};

const char *commandFaultName(CommandFault fault);

struct ReceivedFrame
{
    QByteArray raw; // start marker up to the last byte read, as received
    quint8 code = 0;
    QByteArray data; // unescaped
    bool checkOk = false;
    CommandFault fault = CommandFault::None;
    qint64 msSinceStart = 0; // since the simulator was created

    bool good() const { return fault == CommandFault::None; }
};
Q_DECLARE_METATYPE(ReceivedFrame)

// An answer frame as the terminal sends it: region 1B 00 L L 00 00 00 code data, escaped as a
// whole, check field over the escaped region. `fault` damages it the way a SimStep asks
// (Vanish gives the whole frame: cutting it is the sender's business).
QByteArray buildAnswerFrame(quint8 code, const QByteArray &data,
                            SimStep::Fault fault = SimStep::Fault::None);

class TerminalSimulator : public QObject
{
    Q_OBJECT

public:
    explicit TerminalSimulator(QObject *parent = nullptr);
    explicit TerminalSimulator(const SimOptions &options, QObject *parent = nullptr);

    // Bytes from the program, in any chunking. Answers go out later through transmit(),
    // never from within this call.
    void receive(const QByteArray &bytesFromProgram);
    // Forgets a half-read frame and everything not yet sent, as when the line is closed.
    void reset();
    // Queues bytes for the program as they are, after what is already queued: noise, or
    // frames a test builds itself.
    void sendRaw(const QByteArray &bytes, int pauseMs = 0);
    bool isSending() const { return m_segmentActive || !m_queue.isEmpty(); }

    const SimOptions &options() const { return m_options; }
    void setOptions(const SimOptions &options); // also restarts rule counts and chaos
    void setRules(const QList<SimRule> &rules); // restarts rule counts
    void addRule(const SimRule &rule);
    // False, with `*error` set, when the text does not parse (see parseSimRule).
    bool addRule(const QString &ruleText, QString *error = nullptr);
    void setKey(int sector, const QString &keyHex);
    void setKeys(const std::array<QString, kSimSectors> &keys);
    const std::array<QString, kSimSectors> &keys() const { return m_options.keys; }
    void setBaudRate(int baudRate);
    void setAnswerDelay(int ms);
    void setChaos(const SimChaos &chaos);
    void setFirmwareVersion(const QString &version);

    // What the terminal has been told lately: the newest kKeptFrames frames, so that a demo
    // left running for days does not grow without bound.
    static constexpr qsizetype kKeptFrames = 4096;
    const QList<ReceivedFrame> &receivedFrames() const { return m_frames; }
    void clearReceivedFrames() { m_frames.clear(); }
    QByteArray downloadedKeys() const { return m_downloadedKeys; } // 96 bytes, empty before
    QByteArray initData() const { return m_initData; } // 85 bytes, empty before
    QMap<int, QByteArray> writtenBlocks() const { return m_blocks; } // block index to 16 bytes
    qint64 elapsedMs() const { return m_clock.elapsed(); }

signals:
    void transmit(const QByteArray &bytes);
    // After a "vanish" step: the line is gone; nothing is read or sent until reset().
    void vanished();
    void frameReceived(const ReceivedFrame &frame);

private:
    enum class RxState { Idle, Header, Data, Check, End };

    // Bytes that go out together, after a pause counted from the end of the previous ones.
    struct Segment
    {
        QByteArray bytes;
        int pauseMs = 0;
        bool vanishAfter = false;
    };

    struct Outcome
    {
        quint8 code = 0;
        QByteArray data;
    };

    void consume(char byte);
    void consumeData(char byte);
    void dataByteDone();
    bool checkFieldOk() const;
    void rejectAndRescan(CommandFault fault);
    void finishFrame(CommandFault fault, bool checkOk);
    void resetReceiver();

    Outcome carryOut(quint8 code, const QByteArray &data);
    QList<SimStep> stepsFor(quint8 code, const QByteArray &data);
    QList<SimStep> chaosSteps();
    void queueAnswer(const QList<SimStep> &steps, const Outcome &outcome);
    void schedule();
    void pump();

    SimOptions m_options;
    QList<int> m_ruleCounts; // commands each rule has matched
    QRandomGenerator m_random;
    QElapsedTimer m_clock;

    // Receiving
    RxState m_rxState = RxState::Idle;
    QByteArray m_rxRaw;
    QByteArray m_rxData;
    int m_rxDataLength = 0;
    qsizetype m_rxCheckStart = 0; // offset of the check field in m_rxRaw
    bool m_rxEscapePending = false;
    bool m_gone = false; // vanished

    // Sending
    QList<Segment> m_queue;
    Segment m_segment; // the one being sent
    bool m_segmentActive = false;
    qint64 m_segmentStartNs = 0;
    qsizetype m_segmentSent = 0;
    qint64 m_lineFreeNs = 0; // when the last byte sent has left the line
    quint64 m_generation = 0; // bumped by reset(), so that a sender interrupted by it stops
    QTimer m_sendTimer;

    // The terminal's memory
    QList<ReceivedFrame> m_frames;
    QByteArray m_downloadedKeys;
    QByteArray m_initData;
    QMap<int, QByteArray> m_blocks;
};
