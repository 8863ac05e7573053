// Numbers of the language texts added beside the window's own captions: diagnosis, the port
// finder and profiles. They follow the response and field texts (155 to 177).
#pragma once

namespace Mis {
inline constexpr int SimulatedPort = 178; // the port box's tooltip line in demo mode
inline constexpr int PortLost = 179; // status line: the device went away, the port is closed
inline constexpr int StopWait = 180; // the control that ends a wait, and its tip
inline constexpr int StopWaitTip = 181;
inline constexpr int CurrentLanguage = 182; // how a screen reader tells the selected language

// The frame monitor
inline constexpr int Monitor = 183; // the control that opens it, and its tip
inline constexpr int MonitorTip = 184;
inline constexpr int MonitorTitle = 185;
inline constexpr int MonitorFirstColumn = 186; // time, direction, command, response, why, frame
inline constexpr int MonitorSent = 192;
inline constexpr int MonitorReceived = 193;
inline constexpr int MonitorDropped = 194;
inline constexpr int MonitorTimedOut = 195;
inline constexpr int MonitorPortLost = 196;
inline constexpr int FirstDropReason = 197; // short, markers, too long, check field, length, header
inline constexpr int MonitorShowKeys = 203;
inline constexpr int MonitorCopy = 204;
inline constexpr int MonitorSave = 205;
inline constexpr int MonitorClear = 206;
inline constexpr int MonitorSaveTitle = 207;

// Tools beside the design's controls
inline constexpr int Tools = 208;
inline constexpr int FindTerminal = 209;
inline constexpr int Beep = 210;
inline constexpr int SaveProfile = 211;
inline constexpr int LoadProfile = 212;
inline constexpr int ToolsTip = 213;

// The port finder
inline constexpr int FinderTitle = 214;
inline constexpr int FinderProbing = 215;
inline constexpr int FinderAnswers = 216; // %1: the firmware version
inline constexpr int FinderNoAnswer = 217;
inline constexpr int FinderCannotOpen = 218;
inline constexpr int FinderUse = 219;
inline constexpr int FinderDone = 220; // %1 of %2 ports answered
inline constexpr int Close = 227; // a dialog's closing button

// Profiles
inline constexpr int ProfileIncludeKey = 221;
inline constexpr int ProfileSaved = 222; // %1: the file
inline constexpr int ProfileLoaded = 223;
inline constexpr int ProfileRejected = 224; // %1: the file, %2: why
inline constexpr int ProfileNotSaved = 225;
inline constexpr int ProfileFiles = 226; // the file dialogs' filter name

inline constexpr int LastAdded = 227;
} // namespace Mis
