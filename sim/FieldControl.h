// Control commands for the field: place, remove, field (describe) and id.
#pragma once

#include "ControlProtocol.h"
#include "ReaderEngine.h"

namespace vsim {

void AddFieldCommands(ControlProtocol& control, ReaderEngine& engine);

}  // namespace vsim
