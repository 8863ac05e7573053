// What several test programs share: bytes written as hex, frames around a hand-made region, and
// a session on the simulated terminal for the reader operations.
#pragma once

#include "commands/key_card_query.h"
#include "commands/reader_session.h"
#include "link/calc_crc16.h"
#include "link/frame.h"
#include "sim/demo_ports.h"
#include "texts/language_table.h"

#include <QSignalSpy>
#include <QStringList>

#include <array>

// Hex digits, blanks allowed between pairs: hex("02 72 81").
inline QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text));
}

// Start marker, `region` as it is, its check field, end marker.
inline QByteArray framed(const QByteArray &region)
{
    return Frame::kStart + region + GetCRC16(region) + Frame::kEnd;
}

// A reader session over demo mode's in-process simulated terminal, with the real (English) texts,
// its port open: the exchange, the operations and their status lines as the window and the
// command line run them. `tick` stands in for the 100 ms tick, so that a time-out costs 20 ticks
// of it.
struct ReaderBench
{
    explicit ReaderBench(std::chrono::milliseconds tick = std::chrono::milliseconds(10),
                         const SimOptions &options = SimOptions())
        : ports(options)
        , session(ports, englishTexts(languages))
        , values(session.ownValues())
        , enables(&session, &ReaderSession::controlsEnabled)
    {
        session.setTickInterval(tick);
        session.openPort(QStringLiteral("1"));
        clear();
    }

    static const LanguageTable &englishTexts(LanguageTable &table)
    {
        table.LoadMisFile(QStringLiteral(PORTEVAL_LANG_DIR));
        table.iIdioma = 2; // English: file 2 packs into slot 2 when all five are present
        return table;
    }

    TerminalSimulator &terminal() { return ports.lastDevice()->terminal(); }
    // The codes of the commands the terminal received, in order, and the data of one of them.
    QList<int> codesReceived()
    {
        QList<int> codes;
        for (const ReceivedFrame &frame : terminal().receivedFrames())
            codes << frame.code;
        return codes;
    }
    QByteArray dataReceived(int index) { return terminal().receivedFrames().value(index).data; }

    // The status lines and the control state's changes since the last clear().
    QStringList statusLines() const
    {
        QStringList lines;
        for (qsizetype i = m_firstStep; i < session.steps().size(); ++i)
            lines << session.steps()[i].line;
        return lines;
    }
    QList<bool> enableCalls() const
    {
        QList<bool> calls;
        for (const QList<QVariant> &call : enables)
            calls << call.value(0).toBool();
        return calls;
    }
    void clear()
    {
        m_firstStep = session.steps().size();
        enables.clear();
    }
    QString GetMisResp(quint8 code) const { return session.GetMisResp(code); }

    LanguageTable languages;
    DemoPorts ports;
    ReaderSession session;
    ReaderFieldValues &values; // the fields the operations read and fill
    QSignalSpy enables;

private:
    qsizetype m_firstStep = 0;
};
