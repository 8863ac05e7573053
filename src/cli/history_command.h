// porteval-cli history: the records of the history that the options pick, oldest first, one
// line each in words of the chosen language, or the records themselves with --json.
#pragma once

struct CliRequest;
class LanguageTable;

// The exit code: 0, also when no record matches.
int printHistory(const CliRequest &request, const LanguageTable &languages);
