#include "qt_serial_device.h"

#include <QEvent>
#include <QSocketNotifier>

QtSerialDevice::QtSerialDevice(const QString &location, QObject *parent)
    : SerialDevice(parent)
    , m_location(location)
{
    m_port.setPortName(location);
    connect(&m_port, &QSerialPort::readyRead, this, [this] {
        m_emptyNotifications = 0;
        emit bytesReceived();
    });
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
    // What the line held before it was opened (an answer to a query stopped mid-way, what an
    // adapter kept while the port was closed) answers nothing: dropped, as Qt 6.8 does on Unix
    // itself. Qt 6.4 keeps it, and so does Qt's Windows backend, which may even hand it over
    // only with the first byte of the next answer.
    m_port.clear(QSerialPort::Input);
    m_error.clear();
    watchForHangUp();
    return true;
}

// A line whose other end went away (an adapter pulled, a pseudo-terminal's master closed) is
// hung up: it polls as readable for ever and every read gives nothing. Qt 6.4 takes that empty
// read for an error; Qt 6.8 takes it for "no data yet" and says nothing, so the wait would run
// into its time-out while the notifier fires again and again. Its firing twice without bringing
// a byte is the sign: the line is asked for its modem lines, which a hung-up device refuses
// with an I/O error (a live pseudo-terminal only says it has none), and the port is closed.
void QtSerialDevice::watchForHangUp()
{
    m_emptyNotifications = 0;
    m_readNotifier.clear();
    for (QSocketNotifier *notifier : m_port.findChildren<QSocketNotifier *>()) {
        if (notifier->type() == QSocketNotifier::Read) {
            m_readNotifier = notifier;
            notifier->installEventFilter(this);
        }
    }
}

bool QtSerialDevice::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_readNotifier || event->type() != QEvent::SockAct || !m_port.isOpen())
        return false;
    // Counted before QSerialPort reads; a read that brings bytes sets the count back.
    if (++m_emptyNotifications < 2)
        return false;
    m_port.pinoutSignals();
    // A device that answers the modem-line request yet keeps waking us without data is no
    // line we can use either.
    if (m_port.isOpen() && m_emptyNotifications >= kEmptyNotificationsLimit)
        lose(tr("The line hung up"));
    return !m_port.isOpen();
}

void QtSerialDevice::close()
{
    if (!m_port.isOpen())
        return;
    // Qt drops what it has not written yet when the port closes: a frame no answer waits for
    // (the beep's) would never leave a program that closes the port right after it.
    if (m_port.bytesToWrite() > 0)
        m_port.waitForBytesWritten(int(kLastWrite.count()));
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
        if (m_port.isOpen())
            lose(m_port.errorString());
        return;
    default:
        // NoError comes with every open; a missing modem line or a framing error on a single
        // byte is not fatal.
        return;
    }
}

void QtSerialDevice::lose(const QString &reason)
{
    m_error = reason;
    m_port.close();
    emit failed();
}
