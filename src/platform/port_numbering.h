// How a port number typed in the window names a serial port of this system.
#pragma once

#include <QString>
#include <QStringList>

// The system's port names in numbering order: USB adapters first (ttyUSB, ttyACM, cu.usb...),
// then the others, each group in natural name order (ttyUSB2 before ttyUSB10). Number n is
// the n-th of the result, so "1" is the only USB adapter plugged in.
QStringList numberedPortNames(QStringList names);

// True for names ordered with the USB adapters.
bool isUsbPortName(const QString &name);

// Natural order: runs of digits compare by value.
bool naturalLess(const QString &a, const QString &b);
