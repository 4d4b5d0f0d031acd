// The doctor: every check of what stands between the user and the reader, in the order an
// installer would look, one line each. lfprog doctor prints the lines; the station's
// interface dialog lists them.
#pragma once

#include <optional>
#include <string>

#include "station/doctor/DoctorLine.h"
#include "station/doctor/SystemRoot.h"
#include "station/register/CardRegister.h"

namespace station {

struct DoctorRequest {
    CSystemRoot root;                        // where /sys, /dev, /proc and /run are read
    UserIdentity user = UserIdentity::Current();
    std::string port;                        // the reader the station or --port names
    bool checkLine = false;                  // open the port and ask its version
    int baud = 19200;                        // the stored rate
    int timeoutMs = 300;
    bool lan = false;                        // run the network search (it broadcasts)
    std::optional<RegisterSettings> cardRegister;  // none: not checked
};

DoctorLines RunDoctor(const DoctorRequest& request);

}  // namespace station
