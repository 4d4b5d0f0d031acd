// The INI document the station instantiates, for the downloaded version file.
#pragma once

#include "update/IniEx.h"

class CPrivateProfile : public CIniEx {};
