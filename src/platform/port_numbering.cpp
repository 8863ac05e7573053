#include "port_numbering.h"

#include <algorithm>

using namespace Qt::StringLiterals;

bool isUsbPortName(const QString &name)
{
    return name.startsWith(u"ttyUSB"_s) || name.startsWith(u"ttyACM"_s)
        || name.startsWith(u"cu.usb"_s) || name.startsWith(u"tty.usb"_s);
}

bool naturalLess(const QString &a, const QString &b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ie = i;
            qsizetype je = j;
            while (ie < a.size() && a[ie].isDigit())
                ++ie;
            while (je < b.size() && b[je].isDigit())
                ++je;
            // Compare by value without converting: strip leading zeros, then length, then text.
            QStringView da = QStringView(a).mid(i, ie - i);
            QStringView db = QStringView(b).mid(j, je - j);
            while (da.size() > 1 && da.front() == u'0')
                da = da.mid(1);
            while (db.size() > 1 && db.front() == u'0')
                db = db.mid(1);
            if (da.size() != db.size())
                return da.size() < db.size();
            if (const int c = da.compare(db); c != 0)
                return c < 0;
            i = ie;
            j = je;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

QStringList numberedPortNames(QStringList names)
{
    std::stable_sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const bool usbA = isUsbPortName(a);
        const bool usbB = isUsbPortName(b);
        if (usbA != usbB)
            return usbA;
        return naturalLess(a, b);
    });
    return names;
}
