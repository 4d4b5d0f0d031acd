// The doctor's checks of the card register the settings name: reachable, TLS as set, the
// schema version, and for a file who else may read it. It only reads: a register that does
// not exist yet is not made, an older schema is not brought up to date.
#pragma once

#include "station/doctor/DoctorLine.h"
#include "station/register/CardRegister.h"

namespace station {

DoctorLines CheckRegister(const RegisterSettings& settings);

}  // namespace station
