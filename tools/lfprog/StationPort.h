// The reader the station's settings name ([Port] Name and Baudrate), as the interface
// dialog stored them, for commands that look at the station's own choice.
#pragma once

#include <string>

struct StationPort {
    std::string name;  // the list's "USB: "/"LAN: " and a " [tag]" cut off; "" for none
    int baud = 19200;  // the rate without the line-format code the dialog adds
};

StationPort StoredStationPort();
