// Device arrivals and removals as the kernel announces them on its uevent netlink socket,
// reported as the device-change events of the interface dialog. Only the device classes the
// reader lists come from (serial lines, USB devices, hidraw nodes) are reported. When the
// socket cannot be opened (no permission, a restricted sandbox) nothing is ever reported.
#pragma once

#include <QByteArray>
#include <QObject>

class QSocketNotifier;

class CUdevMonitor : public QObject {
    Q_OBJECT
  public:
    // The events reported: a device appeared / a device node went away.
    static constexpr int kDeviceArrival = 0x8000;
    static constexpr int kDevNodesChanged = 7;

    explicit CUdevMonitor(QObject* parent = nullptr);
    ~CUdevMonitor() override;
    CUdevMonitor(const CUdevMonitor&) = delete;
    CUdevMonitor& operator=(const CUdevMonitor&) = delete;

    bool IsOpen() const { return m_socket >= 0; }

    // The event a kernel uevent message stands for, or 0 when it is of no interest.
    static int EventOf(const QByteArray& message);

  Q_SIGNALS:
    void DeviceChanged(int event);

  private:
    void OnReadable();

    int m_socket = -1;
    QSocketNotifier* m_notifier = nullptr;
};
