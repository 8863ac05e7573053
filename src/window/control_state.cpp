#include "control_state.h"

ControlEnables controlEnables(const ControlFlags &flags)
{
    ControlEnables e;
    const bool open = flags.bPortOpen != 0;
    e.openPort = flags.bEnableCtrls && !open;
    e.portOpenActions = flags.bEnableCtrls && open;
    e.cardButtons = e.portOpenActions && flags.bKeyCardRead;
    e.dataBlock = flags.modeText.startsWith(u'2');
    return e;
}
