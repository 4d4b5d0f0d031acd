// Serial ports, USB readers and the USB driver check.
#include "TextList.h"
#include "discovery/ComPortList.h"
#include "discovery/UsbDriverCheck.h"
#include "discovery/UsbReaderList.h"
#include "vellf.h"

using namespace vellf;

extern "C" {

int LfListComPorts(char* buffer, int size) {
    return PackTextList(EnumerateComPorts(), buffer, size);
}

int LfListUsbReaders(char* buffer, int size) {
    return PackTextList(ListUsbReaders(), buffer, size);
}

int LfGetUsbDeviceFlags(void) {
    return UsbDeviceFlags();
}

int LfIsUsbDriverInstalled(void) {
    return IsUsbDriverInstalled() ? 1 : 0;
}

}  // extern "C"
