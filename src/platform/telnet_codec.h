// The client's side of a Telnet connection to a serial device server with the COM-port option
// (RFC 2217, over RFC 854/855 Telnet): what it says first, what it makes of the server's bytes
// and what it answers, and how the program's bytes are sent. Bytes in, bytes out: the socket
// belongs to whoever drives it.
#pragma once

#include "platform/serial_device.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <array>
#include <optional>

class TelnetCodec
{
public:
    // Commands and options on the wire.
    enum : quint8 {
        SE = 240,
        SB = 250,
        WILL = 251,
        WONT = 252,
        DO = 253,
        DONT = 254,
        IAC = 255,
        OptBinary = 0,
        OptSuppressGoAhead = 3,
        OptComPort = 44,
    };
    // COM-port option commands, client to server; the server answers with the code + 100.
    enum : quint8 {
        Signature = 0,
        SetBaudRate = 1,
        SetDataSize = 2,
        SetParity = 3,
        SetStopSize = 4,
        SetControl = 5,
        FlowControlSuspend = 8,
        FlowControlResume = 9,
        ServerOffset = 100,
    };

    enum class ComPort { Asked, Agreed, Refused };

    // The server's answers to the line settings; a value it never answered stays empty.
    struct Acknowledged
    {
        std::optional<quint32> baudRate;
        std::optional<quint8> dataSize;
        std::optional<quint8> parity;
        std::optional<quint8> stopSize;
        QList<quint8> controls; // every SET-CONTROL answer, in order
    };

    explicit TelnetCodec(const LineSettings &line);

    // The opening: offers the COM-port option and asks for binary both ways.
    QByteArray start();
    // Bytes from the server, cut anywhere. The terminal's bytes are appended to `*data`; the
    // result is what has to go back to the server now.
    QByteArray feed(const QByteArray &bytes, QByteArray *data);
    // The program's bytes as they go on the wire. While the server has asked us to hold back,
    // they wait and come out of a later feed().
    QByteArray encode(const QByteArray &data);

    ComPort comPort() const { return m_comPort; }
    // Baud rate, data size, parity and stop size have all been answered.
    bool lineAcknowledged() const;
    const Acknowledged &acknowledged() const { return m_acknowledged; }
    // Line settings the server answered with another value than asked, e.g. "baud rate 9600".
    QStringList lineDifferences() const;
    // The settings as sent once the option is agreed, in the order the option asks for.
    QByteArray settingsCommands() const;

private:
    enum class State { Data, Command, Option, Subnegotiation, SubnegotiationCommand };
    // Each side of an option: off, asked for by us and not yet answered, or on.
    enum class Side : quint8 { No, Asked, Yes };

    void command(quint8 byte, QByteArray *data);
    void keepSubnegotiationByte(char byte);
    void negotiate(quint8 verb, quint8 option, QByteArray &reply);
    void subnegotiation(QByteArray &reply);
    void agreeComPort(QByteArray &reply);
    static bool weSupport(quint8 option);
    static bool serverMaySupport(quint8 option);

    LineSettings m_line;
    State m_state = State::Data;
    quint8 m_verb = 0;
    QByteArray m_sub;
    bool m_subOverflow = false;
    bool m_carriageReturn = false; // the last data byte was a CR in a non-binary stream
    std::array<Side, 256> m_us {}; // options on our side (WILL/WONT)
    std::array<Side, 256> m_him {}; // options on the server's side (DO/DONT)
    ComPort m_comPort = ComPort::Asked;
    Acknowledged m_acknowledged;
    bool m_suspended = false;
    QByteArray m_heldBack;
};
