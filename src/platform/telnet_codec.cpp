#include "telnet_codec.h"

#include <initializer_list>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

// No subnegotiation we read is longer than a signature; a longer one is skipped, not kept.
constexpr qsizetype kMaxSubnegotiation = 256;
constexpr char kSignature[] = "porteval";

// RFC 2217 values
constexpr quint8 kParityNone = 1, kParityOdd = 2, kParityEven = 3, kParityMark = 4,
                 kParitySpace = 5;
constexpr quint8 kNoFlowControl = 1, kXonXoffFlowControl = 2, kHardwareFlowControl = 3;
constexpr quint8 kDtrOn = 8, kDtrOff = 9, kRtsOn = 11, kRtsOff = 12;
constexpr char kCR = '\r';

quint8 parityValue(char parity)
{
    switch (parity) {
    case 'o':
        return kParityOdd;
    case 'e':
        return kParityEven;
    case 'm':
        return kParityMark;
    case 's':
        return kParitySpace;
    default:
        return kParityNone;
    }
}

void appendEscaped(QByteArray &out, const QByteArray &bytes)
{
    for (char b : bytes) {
        out += b;
        if (quint8(b) == TelnetCodec::IAC)
            out += b;
    }
}

QByteArray bytesOf(std::initializer_list<quint8> bytes)
{
    QByteArray out;
    for (quint8 b : bytes)
        out += char(b);
    return out;
}

QByteArray optionCommand(quint8 verb, quint8 option)
{
    return bytesOf({ TelnetCodec::IAC, verb, option });
}

QByteArray comPortCommand(quint8 code, const QByteArray &value)
{
    QByteArray out = bytesOf({ TelnetCodec::IAC, TelnetCodec::SB, TelnetCodec::OptComPort, code });
    appendEscaped(out, value);
    return out + bytesOf({ TelnetCodec::IAC, TelnetCodec::SE });
}

} // namespace

TelnetCodec::TelnetCodec(const LineSettings &line)
    : m_line(line)
{ }

QByteArray TelnetCodec::start()
{
    // The option's client offers it (WILL) and the server accepts it (DO). Binary both ways,
    // since the terminal's frames use all 256 byte values, CR included.
    m_us[OptComPort] = Side::Asked;
    m_us[OptBinary] = Side::Asked;
    m_him[OptBinary] = Side::Asked;
    return optionCommand(WILL, OptComPort) + optionCommand(WILL, OptBinary)
        + optionCommand(DO, OptBinary);
}

bool TelnetCodec::weSupport(quint8 option)
{
    return option == OptBinary || option == OptSuppressGoAhead || option == OptComPort;
}

bool TelnetCodec::serverMaySupport(quint8 option)
{
    // Not echo: the terminal's bytes must not come back to it.
    return option == OptBinary || option == OptSuppressGoAhead;
}

QByteArray TelnetCodec::feed(const QByteArray &bytes, QByteArray *data)
{
    QByteArray reply;
    for (const char c : bytes) {
        const quint8 byte = quint8(c);
        switch (m_state) {
        case State::Data:
            if (byte == IAC) {
                m_state = State::Command;
            } else if (byte == 0 && m_carriageReturn) {
                // A server that refused binary sends a lone CR as CR NUL (RFC 854).
                m_carriageReturn = false;
            } else {
                m_carriageReturn = c == kCR && m_him[OptBinary] == Side::No;
                data->append(c);
            }
            break;
        case State::Command:
            command(byte, data);
            break;
        case State::Option:
            negotiate(m_verb, byte, reply);
            m_state = State::Data;
            break;
        case State::Subnegotiation:
            if (byte == IAC)
                m_state = State::SubnegotiationCommand;
            else
                keepSubnegotiationByte(c);
            break;
        case State::SubnegotiationCommand:
            if (byte == IAC) {
                keepSubnegotiationByte(c);
                m_state = State::Subnegotiation;
            } else if (byte == SE) {
                if (!m_subOverflow)
                    subnegotiation(reply);
                m_state = State::Data;
            } else {
                // The subnegotiation was never closed: drop it and take the command as one.
                command(byte, data);
            }
            break;
        }
    }
    return reply;
}

void TelnetCodec::keepSubnegotiationByte(char byte)
{
    if (m_sub.size() < kMaxSubnegotiation)
        m_sub += byte;
    else
        m_subOverflow = true;
}

void TelnetCodec::command(quint8 byte, QByteArray *data)
{
    m_state = State::Data;
    switch (byte) {
    case IAC:
        m_carriageReturn = false;
        data->append(char(IAC));
        break;
    case WILL:
    case WONT:
    case DO:
    case DONT:
        m_verb = byte;
        m_state = State::Option;
        break;
    case SB:
        m_sub.clear();
        m_subOverflow = false;
        m_state = State::Subnegotiation;
        break;
    default:
        // NOP, data mark, break, interrupt, abort output, are you there, erase character or
        // line, go ahead, a stray SE: nothing to do on a serial line. An answer to "are you
        // there" would reach the terminal as data, so there is none.
        break;
    }
}

// Both sides of every option follow RFC 1143's rule: answer only a request that changes the
// option's state, so that two parties can never answer each other's answers for ever.
void TelnetCodec::negotiate(quint8 verb, quint8 option, QByteArray &reply)
{
    const bool enable = verb == WILL || verb == DO;
    const bool ourSide = verb == DO || verb == DONT;
    Side &side = ourSide ? m_us[option] : m_him[option];
    const bool supported = ourSide ? weSupport(option) : serverMaySupport(option);
    const quint8 yes = ourSide ? WILL : DO;
    const quint8 no = ourSide ? WONT : DONT;

    if (enable) {
        if (side == Side::Yes)
            return;
        if (!supported) {
            reply += optionCommand(no, option);
            return;
        }
        if (side == Side::No)
            reply += optionCommand(yes, option);
        side = Side::Yes;
        if (ourSide && option == OptComPort)
            agreeComPort(reply);
        return;
    }
    if (side == Side::No)
        return;
    if (side == Side::Yes)
        reply += optionCommand(no, option);
    side = Side::No;
    if (ourSide && option == OptComPort)
        m_comPort = ComPort::Refused;
}

void TelnetCodec::agreeComPort(QByteArray &reply)
{
    m_comPort = ComPort::Agreed;
    reply += settingsCommands();
}

QByteArray TelnetCodec::settingsCommands() const
{
    const quint32 baud = quint32(m_line.baudRate);
    const QByteArray baudBytes
        = bytesOf({ quint8(baud >> 24), quint8(baud >> 16), quint8(baud >> 8), quint8(baud) });
    const quint8 flow = m_line.hardwareFlowControl ? kHardwareFlowControl
        : m_line.softwareFlowControl               ? kXonXoffFlowControl
                                                   : kNoFlowControl;
    return comPortCommand(SetBaudRate, baudBytes)
        + comPortCommand(SetDataSize, QByteArray(1, char(m_line.dataBits)))
        + comPortCommand(SetParity, QByteArray(1, char(parityValue(m_line.parity))))
        + comPortCommand(SetStopSize, QByteArray(1, char(m_line.stopBits)))
        + comPortCommand(SetControl, QByteArray(1, char(flow)))
        + comPortCommand(SetControl,
                         QByteArray(1, char(m_line.dataTerminalReady ? kDtrOn : kDtrOff)))
        + comPortCommand(SetControl, QByteArray(1, char(m_line.requestToSend ? kRtsOn : kRtsOff)));
}

void TelnetCodec::subnegotiation(QByteArray &reply)
{
    // Only the COM-port option has anything to say to us, and only once it is agreed.
    if (m_sub.size() < 2 || quint8(m_sub[0]) != OptComPort || m_comPort != ComPort::Agreed)
        return;
    const quint8 code = quint8(m_sub[1]);
    const QByteArray value = m_sub.mid(2);
    switch (code) {
    case ServerOffset + Signature:
        // An empty signature asks for ours.
        if (value.isEmpty())
            reply += comPortCommand(Signature, QByteArray(kSignature));
        break;
    case ServerOffset + SetBaudRate:
        if (value.size() == 4) {
            m_acknowledged.baudRate = quint32(quint8(value[0])) << 24
                | quint32(quint8(value[1])) << 16 | quint32(quint8(value[2])) << 8
                | quint32(quint8(value[3]));
        }
        break;
    case ServerOffset + SetDataSize:
    case ServerOffset + SetParity:
    case ServerOffset + SetStopSize:
    case ServerOffset + SetControl: {
        if (value.size() != 1)
            break;
        const quint8 v = quint8(value[0]);
        if (code == ServerOffset + SetDataSize)
            m_acknowledged.dataSize = v;
        else if (code == ServerOffset + SetParity)
            m_acknowledged.parity = v;
        else if (code == ServerOffset + SetStopSize)
            m_acknowledged.stopSize = v;
        else
            m_acknowledged.controls.append(v);
        break;
    }
    case ServerOffset + FlowControlSuspend:
        m_suspended = true;
        break;
    case ServerOffset + FlowControlResume:
        m_suspended = false;
        reply += std::exchange(m_heldBack, {});
        break;
    default:
        // Line and modem state notifications, mask and purge answers: nothing we act on.
        break;
    }
}

QByteArray TelnetCodec::encode(const QByteArray &data)
{
    QByteArray out;
    out.reserve(data.size() + 8);
    const bool binary = m_us[OptBinary] != Side::No;
    for (char b : data) {
        out += b;
        if (quint8(b) == IAC)
            out += b;
        else if (b == kCR && !binary)
            out += '\0';
    }
    if (m_suspended) {
        m_heldBack += out;
        return {};
    }
    return out;
}

bool TelnetCodec::lineAcknowledged() const
{
    return m_acknowledged.baudRate && m_acknowledged.dataSize && m_acknowledged.parity
        && m_acknowledged.stopSize;
}

QStringList TelnetCodec::lineDifferences() const
{
    QStringList differences;
    const Acknowledged &a = m_acknowledged;
    if (a.baudRate && *a.baudRate != quint32(m_line.baudRate))
        differences << u"baud rate %1"_s.arg(*a.baudRate);
    if (a.dataSize && *a.dataSize != m_line.dataBits)
        differences << u"data size %1"_s.arg(*a.dataSize);
    if (a.parity && *a.parity != parityValue(m_line.parity))
        differences << u"parity %1"_s.arg(*a.parity);
    if (a.stopSize && *a.stopSize != m_line.stopBits)
        differences << u"stop size %1"_s.arg(*a.stopSize);
    return differences;
}
