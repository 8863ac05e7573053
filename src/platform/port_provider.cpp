#include "port_provider.h"

#include "platform/number_text.h"

using namespace Qt::StringLiterals;

QString PortRequest::text() const
{
    if (isNetwork()) {
        const QString shownHost = host.contains(u':') ? u'[' + host + u']' : host;
        return scheme + u"://"_s + shownHost + u':' + QString::number(tcpPort);
    }
    if (!devicePath.isEmpty())
        return devicePath;
    return QString::number(number);
}

namespace {

std::optional<PortRequest> parseNetworkPort(const QString &scheme, QStringView address)
{
    QStringView host;
    QStringView port;
    if (address.startsWith(u'[')) {
        const qsizetype close = address.indexOf(u']');
        if (close < 0 || address.mid(close + 1, 1) != u":")
            return std::nullopt;
        host = address.mid(1, close - 1);
        port = address.mid(close + 2);
    } else {
        const qsizetype colon = address.lastIndexOf(u':');
        if (colon < 0)
            return std::nullopt;
        host = address.left(colon);
        port = address.mid(colon + 1);
    }
    bool ok = false;
    const uint number = port.toUInt(&ok);
    // A bracket belongs around an IPv6 host, never inside a host: "tcp://a]:b:5" would be
    // said again as "tcp://[a]:b]:5", which names something else.
    if (host.isEmpty() || host.contains(u'/') || host.contains(u'[') || host.contains(u']') || !ok
        || number == 0 || number > 65535)
        return std::nullopt;
    PortRequest request;
    request.scheme = scheme;
    request.host = host.toString();
    request.tcpPort = quint16(number);
    return request;
}

} // namespace

std::optional<PortRequest> parsePortText(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.startsWith(u'/')) {
        PortRequest request;
        request.devicePath = trimmed;
        return request;
    }
    for (const QString &scheme : { u"tcp"_s, u"rfc2217"_s }) {
        const QString prefix = scheme + u"://"_s;
        if (trimmed.startsWith(prefix, Qt::CaseInsensitive))
            return parseNetworkPort(scheme, QStringView(trimmed).mid(prefix.size()));
    }
    // "COM3", as Windows names its ports and as technicians copy them from the Device Manager.
    if (trimmed.startsWith(u"COM"_s, Qt::CaseInsensitive) && trimmed.size() > 3) {
        bool ok = false;
        const int number = QStringView(trimmed).mid(3).toInt(&ok);
        if (!ok || number <= 0 || number > 32767 || !trimmed.at(3).isDigit())
            return std::nullopt;
        PortRequest request;
        request.number = qint16(number);
        return request;
    }
    const std::optional<qint16> number = roundToInt16(readNumber(text));
    if (!number)
        return std::nullopt;
    PortRequest request;
    request.number = *number;
    return request;
}
