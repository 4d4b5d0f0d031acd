// Owns a card register whose calls may run on a thread of their own, for headers that need
// not see the register itself.
#pragma once

#include <memory>

namespace station {

class CCardRegister;
class CRegisterThread;

// Deletes a register whose calls run on a thread of their own: with a call stuck in the
// database client, on that thread once the call returns, so that neither the caller waits
// nor the call outlives its register.
struct RegisterDeleter {
    void operator()(CCardRegister* cardRegister) const;
};
using RegisterPtr = std::unique_ptr<CCardRegister, RegisterDeleter>;

}  // namespace station
