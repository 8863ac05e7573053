// The history of the programs under test (the window, porteval-cli started from here) goes to a
// folder of this run's own, set before anything is made and removed at the end: never to the
// user's own history.
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
