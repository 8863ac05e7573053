#include "qt_serial_device.h"

QtSerialDevice::QtSerialDevice(const QString &location, QObject *parent)
    : SerialDevice(parent)
    , m_location(location)
{
    m_port.setPortName(location);
    connect(&m_port, &QSerialPort::readyRead, this, &SerialDevice::bytesReceived);
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialDevice::onError);
}

QtSerialDevice::~QtSerialDevice()
{
    // The port closes as it goes, after our other members; nothing it says then may reach us.
    m_port.disconnect(this);
}

bool QtSerialDevice::open(const LineSettings &settings)
{
    m_port.setBaudRate(settings.baudRate);
    m_port.setDataBits(QSerialPort::DataBits(settings.dataBits));
    m_port.setStopBits(settings.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    switch (settings.parity) {
    case 'e':
        m_port.setParity(QSerialPort::EvenParity);
        break;
    case 'o':
        m_port.setParity(QSerialPort::OddParity);
        break;
    case 'm':
        m_port.setParity(QSerialPort::MarkParity);
        break;
    case 's':
        m_port.setParity(QSerialPort::SpaceParity);
        break;
    default:
        m_port.setParity(QSerialPort::NoParity);
    }
    m_port.setFlowControl(settings.hardwareFlowControl       ? QSerialPort::HardwareControl
                              : settings.softwareFlowControl ? QSerialPort::SoftwareControl
                                                             : QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_error = m_port.errorString();
        return false;
    }
    // Pseudo-terminals and some adapters have no modem lines; that is no reason to fail.
    m_port.setDataTerminalReady(settings.dataTerminalReady);
    m_port.setRequestToSend(settings.requestToSend);
    m_error.clear();
    return true;
}

void QtSerialDevice::close()
{
    if (m_port.isOpen())
        m_port.close();
}

void QtSerialDevice::write(const QByteArray &bytes)
{
    if (m_port.isOpen())
        m_port.write(bytes);
}

void QtSerialDevice::onError(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
        // The device went away. Left open, an unplugged port reports read errors in a tight
        // loop; closed at the first one it stays quiet and can be opened again later.
        if (!m_port.isOpen())
            return;
        m_error = m_port.errorString();
        m_port.close();
        emit failed();
        return;
    default:
        // NoError comes with every open; a missing modem line or a framing error on a single
        // byte is not fatal.
        return;
    }
}
