// porteval-cli history: the records of the history that the options pick, oldest first, one
// line each in words of the chosen language, or the records themselves with --json.
#pragma once

#include <QString>

struct CliRequest;
class LanguageTable;

// The records of the history file `path`. The exit code: 0, also when no record matches.
int printHistory(const QString &path, const CliRequest &request, const LanguageTable &languages);
