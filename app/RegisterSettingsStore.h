// Where the station keeps its card register's settings: the section "Register" of its
// settings file. A password is never among them.
#pragma once

#include "station/register/CardRegister.h"

station::RegisterSettings ReadRegisterSettings();
void StoreRegisterSettings(const station::RegisterSettings& settings);
