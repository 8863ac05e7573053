// Which controls can be used at a given moment, from the window's flags alone.
#pragma once

#include <QString>

struct ControlFlags
{
    quint8 bPortOpen = 0;
    bool bEnableCtrls = false;
    bool bKeyCardRead = false;
    QString modeText; // the read-mode selector's text
};

struct ControlEnables
{
    bool openPort = false; // cmdOpenCOM and the port number box
    bool portOpenActions = false; // cmdCloseCOM and cmdGetInfoKeyCard
    bool cardButtons = false; // the six card buttons
    bool dataBlock = false; // block number, start and end position, their labels and frame

    bool operator==(const ControlEnables &other) const
    {
        return openPort == other.openPort && portOpenActions == other.portOpenActions
            && cardButtons == other.cardButtons && dataBlock == other.dataBlock;
    }
};

// The data-block fields follow only the mode ("2" as first character), whatever the port and
// busy state, so that they can be filled in before the port is opened.
ControlEnables controlEnables(const ControlFlags &flags);
