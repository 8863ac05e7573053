// Which records of the history to show: since when, on which ports, which outcomes, and text
// anywhere in them. porteval-cli history and the window's History dialog use the same rules.
#pragma once

#include "history/history_record.h"

#include <optional>

struct HistoryFilter
{
    enum class Outcome { Any, Succeeded, Failed };

    QDateTime since; // invalid: from the first record
    QStringList ports; // each as typed or as opened; empty: every port
    Outcome outcome = Outcome::Any;
    QString text; // found in any field of the record or in `shown`, whatever the letter case

    // `shown` is what a reader sees of the record besides its fields (operation names in
    // words, local times), so that the text is found where it is seen.
    bool matches(const HistoryRecord &record, const QString &shown = {}) const;
};

// "today", "yesterday", a date (2026-12-05: its start, local time), or a date and time
// (2026-12-05T14:30, local time unless it says its zone). Nothing when the text is none of
// these.
std::optional<QDateTime> parseSince(const QString &text, const QDateTime &now);
