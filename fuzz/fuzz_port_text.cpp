// Arbitrary text as typed in the port box or given to --port (and to the simulator's
// --listen): a number, a device path, tcp:// or rfc2217:// with a host (IPv6 in brackets) and a
// port. Whatever the text names must be said again by PortRequest::text() so that it reads
// back the same, which is what the window's tip and the command line's output show.
#include "platform/number_text.h"
#include "platform/port_provider.h"
#include "require.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {
bool same(const PortRequest &a, const PortRequest &b)
{
    return a.number == b.number && a.devicePath == b.devicePath && a.scheme == b.scheme
        && a.host == b.host && a.tcpPort == b.tcpPort;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<PortRequest> request = parsePortText(text);
    if (!request)
        return 0;

    if (request->isNetwork()) {
        require(request->scheme == u"tcp" || request->scheme == u"rfc2217");
        require(!request->host.isEmpty() && !request->host.contains(u'/'));
        require(request->tcpPort != 0);
        require(request->devicePath.isEmpty() && request->number == 0);
    } else if (!request->devicePath.isEmpty()) {
        require(request->devicePath == text.trimmed() && request->devicePath.startsWith(u'/'));
    } else {
        // A number: the window's number rule, rounded to 16 bits.
        require(roundToInt16(readNumber(text)) == request->number);
    }

    const QString said = request->text();
    const std::optional<PortRequest> again = parsePortText(said);
    require(again && same(*again, *request));
    require(again->text() == said);
    return 0;
}
