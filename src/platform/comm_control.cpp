#include "comm_control.h"

using namespace Qt::StringLiterals;

CommControl::CommControl(PortProvider &ports, QObject *parent)
    : QObject(parent)
    , m_ports(ports)
{
    setSettings(u"9600,n,8,1"_s);
}

CommControl::~CommControl() = default;

bool CommControl::setSettings(const QString &settings)
{
    const QStringList parts = settings.split(u',');
    if (parts.size() != 4)
        return false;
    bool baudOk = false;
    bool dataOk = false;
    const int baud = parts[0].trimmed().toInt(&baudOk);
    const QString parity = parts[1].trimmed().toLower();
    const int dataBits = parts[2].trimmed().toInt(&dataOk);
    const QString stop = parts[3].trimmed();
    if (!baudOk || baud <= 0 || parity.size() != 1 || !u"noems"_s.contains(parity) || !dataOk
        || dataBits < 5 || dataBits > 8 || (stop != u"1"_s && stop != u"2"_s)) {
        return false;
    }
    m_line.baudRate = baud;
    m_line.parity = char(parity[0].unicode());
    m_line.dataBits = dataBits;
    m_line.stopBits = stop.toInt();
    m_settingsText = settings;
    return true;
}

void CommControl::setHandshaking(int mode)
{
    // 0 none, 1 XON/XOFF, 2 RTS/CTS, 3 both
    m_line.softwareFlowControl = mode == 1 || mode == 3;
    m_line.hardwareFlowControl = mode == 2 || mode == 3;
}

bool CommControl::PortOpen() const
{
    return m_device && m_device->isOpen();
}

bool CommControl::setPortOpen(bool open)
{
    m_error.clear();
    if (!open) {
        if (m_device)
            m_device->close();
        m_input.clear();
        return true;
    }
    if (PortOpen()) {
        m_error = u"The port is already open"_s;
        return false;
    }
    m_device.reset();
    m_input.clear();
    std::unique_ptr<SerialDevice> device = m_ports.device(m_request, &m_error);
    if (!device)
        return false;
    if (!device->open(m_line)) {
        m_error = device->errorString();
        return false;
    }
    connect(device.get(), &SerialDevice::bytesReceived, this, &CommControl::takeFromDevice);
    connect(device.get(), &SerialDevice::failed, this, &CommControl::deviceFailed);
    m_device = std::move(device);
    return true;
}

void CommControl::Output(const QByteArray &bytes)
{
    if (PortOpen())
        m_device->write(bytes);
}

QByteArray CommControl::Input()
{
    const qsizetype n
        = m_inputLen <= 0 ? m_input.size() : qMin<qsizetype>(m_inputLen, m_input.size());
    const QByteArray taken = m_input.left(n);
    m_input.remove(0, n);
    return taken;
}

void CommControl::takeFromDevice()
{
    if (!m_device)
        return;
    m_input += m_device->takeReceived();
    if (m_rThreshold <= 0)
        return;
    // The event is raised again as long as enough bytes wait and the handler takes some.
    while (m_input.size() >= m_rThreshold) {
        const qsizetype before = m_input.size();
        m_commEvent = comEvReceive;
        emit OnComm();
        if (m_input.size() >= before)
            break;
    }
}

void CommControl::deviceFailed()
{
    // The device has closed itself; whatever is waiting can no longer be trusted to be whole.
    m_input.clear();
    emit portLost(m_device ? m_device->errorString() : QString());
}

bool openForTerminal(CommControl &control, const PortRequest &request)
{
    control.setPortRequest(request);
    if (!control.setSettings(u"38400,n,8,1"_s))
        return false;
    control.setRThreshold(1);
    control.setSThreshold(0);
    control.setInputLen(1);
    control.setDTREnable(false);
    control.setRTSEnable(false);
    control.setHandshaking(0);
    control.setOutBufferSize(2048);
    control.setInBufferSize(2048);
    control.setEOFEnable(false);
    control.setInputMode(0);
    return control.setPortOpen(true);
}
