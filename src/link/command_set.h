// What the program sends the terminal, and what it relies on in each answer.
#pragma once

#include <QtGlobal>

#include <array>

namespace Cmd {
inline constexpr quint8 GetInfoKeyCard = 0x72;
inline constexpr quint8 DownloadKeys = 0x73;
inline constexpr quint8 InitCfgCard = 0x75;
inline constexpr quint8 SetCfgCard = 0x81;
inline constexpr quint8 GetFWVersion = 0xF3;
inline constexpr quint8 BeepSound = 0xBB;
} // namespace Cmd

enum class AnswerUse {
    CodeAndData, // response code; on 0 the data field too
    CodeOnly,
    NotExamined, // an answer is awaited but its outcome is never looked at
    NotAwaited, // the frame is sent and no answer is collected
};

struct TerminalCommand
{
    quint8 code;
    const char *name; // as the status lines name it; the card commands take the card's own name
    int dataLength;
    AnswerUse answerUse;
};

inline constexpr std::array<TerminalCommand, 6> kTerminalCommands { {
    { Cmd::GetInfoKeyCard, "GetInfoKeyCard", 1, AnswerUse::CodeAndData },
    { Cmd::DownloadKeys, "DownloadKeys", 96, AnswerUse::CodeOnly },
    { Cmd::InitCfgCard, "InitCfgCard", 85, AnswerUse::NotExamined },
    { Cmd::SetCfgCard, "SetCfgCard", 18, AnswerUse::CodeOnly },
    { Cmd::GetFWVersion, "GetFWVersion", 1, AnswerUse::CodeAndData },
    { Cmd::BeepSound, "BeepSound", 41, AnswerUse::NotAwaited },
} };

// The entry for `code`, or nullptr for a code the program never sends.
constexpr const TerminalCommand *findCommand(quint8 code)
{
    for (const TerminalCommand &command : kTerminalCommands) {
        if (command.code == code)
            return &command;
    }
    return nullptr;
}

// Response codes as the exchange sees them.
namespace Resp {
inline constexpr quint8 Success = 0;
inline constexpr quint8 LastIntermediate = 29;
inline constexpr quint8 Waiting = 30;
inline constexpr quint8 TimeOut = 31;
inline constexpr quint8 PortNotOpen = 255;
} // namespace Resp
