// What several test programs share: bytes written as hex, frames around a hand-made region, and
// a window without widgets for the reader operations.
#pragma once

#include "commands/key_card_query.h"
#include "commands/reader_window.h"
#include "link/calc_crc16.h"
#include "link/exchange.h"
#include "link/frame.h"
#include "sim/simulated_device.h"
#include "texts/language_table.h"
#include "texts/response_text.h"

#include <QStringList>
#include <QTimer>

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

// The real exchange against the in-process simulated terminal and the real (English) texts,
// recording every status line and every change of the control state. `tick` stands in for the
// window's 100 ms tick, so that a time-out costs 20 ticks of it.
class ReaderBench : public ReaderWindow, public LinkHost, public ReaderFieldValues
{
public:
    explicit ReaderBench(std::chrono::milliseconds tick = std::chrono::milliseconds(10),
                         const SimOptions &options = SimOptions())
        : device(options)
        , link(*this)
    {
        languages.LoadMisFile(QStringLiteral(PORTEVAL_LANG_DIR));
        languages.iIdioma = 2; // English: file 2 packs into slot 2 when all five are present
        device.open(LineSettings());
        QObject::connect(&device, &SerialDevice::bytesReceived, &device, [this] {
            for (char b : device.takeReceived())
                link.receiveByte(b);
        });
        ticker.setTimerType(Qt::PreciseTimer);
        ticker.callOnTimeout(&device, [this] { link.Timer1_Timer(); });
        ticker.start(tick);
    }

    TerminalSimulator &terminal() { return device.terminal(); }
    // The codes of the commands the terminal received, in order, and the data of one of them.
    QList<int> codesReceived()
    {
        QList<int> codes;
        for (const ReceivedFrame &frame : terminal().receivedFrames())
            codes << frame.code;
        return codes;
    }
    QByteArray dataReceived(int index) { return terminal().receivedFrames().value(index).data; }

    // ReaderWindow
    quint8 SendCom_RebAns(quint8 code, QString &termId, QByteArray &data,
                          QByteArray &answer) override
    {
        return link.SendCom_RebAns(code, termId, data, answer);
    }
    quint8 SendCommand(quint8 code, QString &termId, QByteArray &data) override
    {
        return link.SendCommand(code, termId, data);
    }
    void SetTextStatus(const QString &text) override { statusLines << text; }
    QString GetMisResp(quint8 code) const override { return ::GetMisResp(code, languages); }
    QString GetMis(int number) const override { return languages.GetMis(number); }
    void EnableControls(bool enable) override { enableCalls << enable; }
    void setKeyCardRead() override { keyCardRead = true; }
    QString keyText(int sector) const override { return keys[sector]; }
    void setKeyText(int sector, const QString &text) override { keys[sector] = text; }
    QString oldKeyText() const override { return oldKey; }
    int selectedMessage() const override { return message; }
    QString messageText(int index) const override { return messages[std::size_t(index)]; }
    ConfigFieldTexts configFieldTexts() const override { return config; }

    // LinkHost
    bool linkPortOpen() const override { return portOpen; }
    void linkOutput(const QByteArray &frame) override { device.write(frame); }
    void ShowMisResp(quint8 code) override { statusLines << GetMisResp(code); }

    SimulatedTerminalDevice device;
    ReaderLink link;
    LanguageTable languages;
    QTimer ticker;
    bool portOpen = true;

    QStringList statusLines;
    QList<bool> enableCalls;
    bool keyCardRead = false;
};
