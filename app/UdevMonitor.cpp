#include "UdevMonitor.h"

#include <linux/netlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QList>
#include <QSocketNotifier>
#include <cerrno>

namespace {

// The kernel's own broadcast group; group 2 carries the udev daemon's re-sent copies.
constexpr unsigned kKernelGroup = 1;
// Kernel uevents are at most 2 KiB; a larger datagram is not one of them.
constexpr int kMessageLimit = 8192;

bool IsWatchedSubsystem(const QByteArray& subsystem) {
    return subsystem == "tty" || subsystem == "usb" || subsystem == "hidraw";
}

}  // namespace

CUdevMonitor::CUdevMonitor(QObject* parent) : QObject(parent) {
    const int fd =
        socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_KOBJECT_UEVENT);
    if (fd < 0) return;
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = kKernelGroup;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return;
    }
    m_socket = fd;
    m_notifier = new QSocketNotifier(m_socket, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &CUdevMonitor::OnReadable);
}

CUdevMonitor::~CUdevMonitor() {
    delete m_notifier;
    if (m_socket >= 0) close(m_socket);
}

int CUdevMonitor::EventOf(const QByteArray& message) {
    // "ACTION@DEVPATH", then KEY=VALUE texts, each closed by a zero byte.
    const QList<QByteArray> fields = message.split('\0');
    if (fields.isEmpty() || !fields.front().contains('@')) return 0;
    QByteArray action;
    QByteArray subsystem;
    for (const QByteArray& field : fields) {
        if (field.startsWith("ACTION="))
            action = field.mid(7);
        else if (field.startsWith("SUBSYSTEM="))
            subsystem = field.mid(10);
    }
    if (!IsWatchedSubsystem(subsystem)) return 0;
    if (action == "add") return kDeviceArrival;
    if (action == "remove") return kDevNodesChanged;
    return 0;
}

void CUdevMonitor::OnReadable() {
    // Read everything that is queued first, so a handler's nested event loop finds the
    // socket drained.
    QList<int> events;
    for (;;) {
        char buffer[kMessageLimit];
        sockaddr_nl sender{};
        socklen_t senderSize = sizeof sender;
        const ssize_t got = recvfrom(m_socket, buffer, sizeof buffer, MSG_TRUNC,
                                     reinterpret_cast<sockaddr*>(&sender), &senderSize);
        if (got < 0) {
            if (errno == EINTR) continue;
            break;
        }
        // Only the kernel speaks for devices; anything else or a cut message is dropped.
        if (sender.nl_pid != 0 || got > static_cast<ssize_t>(sizeof buffer)) continue;
        const int event = EventOf(QByteArray(buffer, static_cast<int>(got)));
        if (event != 0) events << event;
    }
    for (int event : events) Q_EMIT DeviceChanged(event);
}
