// Kept apart from the termios code: the kernel's termios2 structure clashes with the C
// library's termios header.
#include "transport/LineSpeed.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace vellf {

bool SetArbitraryLineSpeed(int fd, int baud) {
    if (baud <= 0) return false;
    termios2 settings{};
    if (ioctl(fd, TCGETS2, &settings) != 0) return false;
    settings.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    settings.c_ispeed = static_cast<speed_t>(baud);
    settings.c_ospeed = static_cast<speed_t>(baud);
    if (ioctl(fd, TCSETS2, &settings) != 0) return false;
    // Drivers round to what their clock can make; a rate far off would garble every frame.
    const long error = static_cast<long>(CurrentLineSpeed(fd)) - baud;
    return error * 50 <= baud && -error * 50 <= baud;  // within 2 %
}

int CurrentLineSpeed(int fd) {
    termios2 settings{};
    if (ioctl(fd, TCGETS2, &settings) != 0) return -1;
    return static_cast<int>(settings.c_ospeed);
}

}  // namespace vellf
