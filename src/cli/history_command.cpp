#include "history_command.h"

#include "cli/cli_request.h"
#include "history/history_file.h"
#include "history/history_filter.h"
#include "history/history_text.h"

#include <cstdio>

int printHistory(const QString &path, const CliRequest &request, const LanguageTable &languages)
{
    HistoryFilter filter;
    filter.since = request.since;
    if (request.portsGiven)
        filter.ports = request.ports;
    if (request.failedOnly)
        filter.outcome = HistoryFilter::Outcome::Failed;

    const HistoryFile::Contents contents = HistoryFile(path).read();
    for (const QString &note : contents.notes)
        std::fprintf(stderr, "porteval-cli: %s\n", qUtf8Printable(note));
    for (const HistoryRecord &record : contents.records) {
        if (!filter.matches(record))
            continue;
        const QString line = request.json ? QString::fromUtf8(record.toJsonLine())
                                          : historyLine(record, languages);
        std::fputs(qUtf8Printable(line + u'\n'), stdout);
    }
    std::fflush(stdout);
    return kExitOk;
}
