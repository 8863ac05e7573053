// The history of the programs under test goes to a folder of this run's own, removed at the end:
// never to the user's own history. What runs in this process is handed the path; the programs
// started from here (porteval-cli) find it in PORTEVAL_HISTORY, set before anything is made.
#pragma once

#include <QTemporaryDir>

inline QString temporaryHistoryPath()
{
    static const QTemporaryDir folder;
    return folder.filePath(QStringLiteral("history.jsonl"));
}

namespace {
[[maybe_unused]] const bool historyIsTemporary
    = qputenv("PORTEVAL_HISTORY", temporaryHistoryPath().toLocal8Bit());
} // namespace
