// A site profile: the configuration card's fields and the messages card's texts as a technician
// types them, kept in a plain INI file that the window and the command line both read. The
// master card's old key goes in only when asked for: it is a secret.
#pragma once

#include "commands/reader_fields.h"

#include <QString>

#include <array>
#include <optional>

struct Profile
{
    ConfigFieldTexts config;
    int slot = 1; // the message slot selected, 1 to 8
    std::array<QString, 8> messages {};
    std::optional<QString> oldKey;
};

// The configuration card's fields in the card's order, by the name a profile and the command
// line give them.
struct ConfigFieldName
{
    const char *name;
    QString ConfigFieldTexts::*field;
};
inline constexpr ConfigFieldName kConfigFieldNames[] = {
    { "uart0", &ConfigFieldTexts::uart0 },
    { "uart1", &ConfigFieldTexts::uart1 },
    { "mode", &ConfigFieldTexts::mode },
    { "block", &ConfigFieldTexts::blockNumber },
    { "start", &ConfigFieldTexts::startPosition },
    { "end", &ConfigFieldTexts::endPosition },
    { "refresh", &ConfigFieldTexts::refreshTime },
    { "backlight", &ConfigFieldTexts::backlightTime },
};

// Longest texts a profile may carry: what the window's boxes take.
inline constexpr int kProfileFieldLength = 260;
inline constexpr int kProfileMessageLength = 20;
inline constexpr int kProfileKeyLength = 12;

// Why a profile was not saved or not loaded. The window says it in the language shown, the
// command line in English.
struct ProfileError
{
    // The window's texts for them follow one another in this order; System is the system's own.
    enum Kind {
        CannotWrite,
        NotWritable,
        CannotRead,
        Malformed,
        NotAProfile,
        TooLong,
        SlotRange,
        System
    };
    Kind kind = System;
    QString key; // TooLong: the value's key, e.g. "messages/text3"
    int limit = 0; // TooLong: the most characters its box takes
    QString systemText; // System: what the system said

    QString text() const;
};

// False with `error` set when the file cannot be written. A profile with the old key is written
// readable by its owner only.
bool saveProfile(const QString &path, const Profile &profile, ProfileError *error);

// The profile in `path`; nothing, with `error` saying why, when the file cannot be read, is not
// a porteval profile, or holds a value the window would not take. Values a profile leaves out
// keep those of `base`.
std::optional<Profile> loadProfile(const QString &path, const Profile &base, ProfileError *error);
