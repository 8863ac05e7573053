// Numbers of the language texts added beside the window's own captions: diagnosis, the port
// finder, profiles and the history. They follow the response and field texts (155 to 177).
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

// The history: Tools > History in the window, porteval-cli history
inline constexpr int History = 228; // the action that opens it
inline constexpr int HistoryTitle = 229;
// time, program, port, operation, result, status line, duration, firmware, card written
inline constexpr int HistoryFirstColumn = 230;
inline constexpr int ProgramWindow = 239;
inline constexpr int ProgramCli = 240;
// 241 to 249: the operations' names, as kOperations numbers them
inline constexpr int HistoryFilterText = 250;
inline constexpr int HistoryAllPorts = 251;
inline constexpr int HistoryAllOutcomes = 252;
inline constexpr int HistorySucceeded = 253;
inline constexpr int HistoryFailed = 254;
inline constexpr int HistoryExport = 255;
inline constexpr int HistoryReload = 256;
inline constexpr int HistoryShown = 257; // %1 of %2 operations
inline constexpr int HistorySkipped = 258; // %1: lines that are not records
inline constexpr int HistoryCsvFiles = 259; // the export dialog's filter name
inline constexpr int HistoryExported = 260; // %1: the file
inline constexpr int HistoryNotExported = 261; // %1: the file, %2: why

// The frame monitor's Save while the keys are shown
inline constexpr int MonitorSaveKeys = 262;

// The status line when an operation could not go on record; %1: why
inline constexpr int HistoryNotWritten = 263;

// The frame monitor's direction for a frame received before the command was sent, and set
// aside
inline constexpr int MonitorSetAside = 264;

// What porteval itself says of a port and of demo mode
inline constexpr int SimulatedDevice = 265; // the demo port as the history shows it
inline constexpr int DemoNotice = 266; // the version line's note in demo mode

// Why a profile was refused, in the order of ProfileError::Kind; TooLong: %1 the key, %2 its
// length
inline constexpr int FirstProfileError = 267;

// The status line when an operation went on record but the disk did not confirm it; %1: why
inline constexpr int HistoryNotConfirmed = 274;

inline constexpr int LastAdded = 274;
} // namespace Mis
