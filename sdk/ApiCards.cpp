// Writing and reading card numbers.
#include "ApiSupport.h"
#include "cards/CardFormat.h"
#include "chips/CardReader.h"
#include "chips/CardWriter.h"
#include "vellf.h"

using namespace vellf;

namespace {

int Write(int handle, int chipType, int format, int a, int b, int c, int flags) {
    auto port = FindPort(handle);
    if (!port) return -1;
    return BoolResult(WriteCard(*port, chipType, format, static_cast<uint32_t>(a),
                                static_cast<uint32_t>(b), static_cast<uint32_t>(c), flags));
}

int Read(int handle, int format, int* a, int* b, int* c) {
    auto port = FindPort(handle);
    return port ? BoolResult(ReadCard(*port, format, a, b, c)) : -1;
}

}  // namespace

extern "C" {

int LfWriteSentBlocks(int handle) {
    auto port = FindPort(handle);
    return port ? port->m_blockCommandSent.load() : -1;
}

int LfWriteWiegand26(int handle, int chipType, int facility, int number, int flags) {
    return Write(handle, chipType, kCardFormat26, facility, number, 0, flags);
}

int LfWriteWiegand34(int handle, int chipType, int facility, int number, int flags) {
    return Write(handle, chipType, kCardFormat34, facility, number, 0, flags);
}

int LfWriteWiegand34NC(int handle, int chipType, int facility, int number, int flags) {
    return Write(handle, chipType, kCardFormat34NC, facility, number, 0, flags);
}

int LfWriteWiegand35(int handle, int chipType, int company, int number, int flags) {
    return Write(handle, chipType, kCardFormat35, company, number, 0, flags);
}

int LfWriteWiegand36(int handle, int chipType, int facility, int number, int extra,
                     int flags) {
    return Write(handle, chipType, kCardFormat36, facility, number, extra, flags);
}

int LfWriteWiegand37(int handle, int chipType, int facility, int number, int flags) {
    return Write(handle, chipType, kCardFormat37, facility, number, 0, flags);
}

int LfReadWiegand26(int handle, int* facility, int* number) {
    return Read(handle, kCardFormat26, facility, number, nullptr);
}

int LfReadWiegand34(int handle, int* facility, int* number) {
    return Read(handle, kCardFormat34, facility, number, nullptr);
}

int LfReadWiegand34NC(int handle, int* facility, int* number) {
    return Read(handle, kCardFormat34NC, facility, number, nullptr);
}

int LfReadWiegand35(int handle, int* company, int* number) {
    return Read(handle, kCardFormat35, company, number, nullptr);
}

int LfReadWiegand36(int handle, int* facility, int* number, int* extra) {
    return Read(handle, kCardFormat36, facility, number, extra);
}

int LfReadWiegand37(int handle, int* facility, int* number) {
    return Read(handle, kCardFormat37, facility, number, nullptr);
}

}  // extern "C"
