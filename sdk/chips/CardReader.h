// Reading a card number: decoded by the reader itself where it can, else from the raw FSK
// data on the host.
#pragma once

#include "VelRwPort.h"

namespace vellf {

// Reads a card of the given format. Out pointers may be null; a C pointer of a format without
// field C receives 0. A parity error (14) still fills the fields; a card of another length
// (25) does not.
bool ReadCard(CVel_RW_Port& port, int formatCode, int* fieldA, int* fieldB, int* fieldC);

}  // namespace vellf
