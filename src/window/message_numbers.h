// Numbers of the language texts added beside the window's own captions: diagnosis, profiles and
// the port finder. They follow the response and field texts (155 to 177).
#pragma once

namespace Mis {
inline constexpr int SimulatedPort = 178; // the port box's tooltip line in demo mode
inline constexpr int PortLost = 179; // status line: the device went away, the port is closed
} // namespace Mis
