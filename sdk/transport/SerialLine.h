// The serial transport: a serial line (a real port, a USB virtual COM port or a
// pseudo-terminal), or an FTDI device named by its serial number and driven through the D2XX
// library, with a monitor thread that delivers received bytes and writes queued frames. Every
// reader port derives from it.
#pragma once

#include <termios.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "transport/D2xxPort.h"

namespace vellf {

class CUSBSerialPort : public CFTD2xxPort {
public:
    // Line error flag for a line that has gone away (device unplugged, I/O error).
    static constexpr uint32_t kLineGone = 0x800;

    CUSBSerialPort();
    virtual ~CUSBSerialPort();
    CUSBSerialPort(const CUSBSerialPort&) = delete;
    CUSBSerialPort& operator=(const CUSBSerialPort&) = delete;

    // Opens and configures the line. parity is 'N', 'E' or 'O'; handshake 0 none, 1 RTS/CTS
    // with output flow control, 2 XON/XOFF, 3 RTS/CTS without output flow control. Fails
    // only when the line cannot be opened (missing, in use); a failing configuration step is
    // reported and the line stays open.
    bool OpenLine(const std::string& name, int baud, char parity, int dataBits, int stopBits,
                  int handshake, size_t writeBufferSize);

    // 1 when a monitor thread was started, 0 when one exists already or none could start.
    int StartMonitor();

    // Appends bytes to the write buffer for the monitor to send. A write that does not fit
    // into the free part of the buffer is dropped. length -1: up to the terminating zero.
    void QueueWrite(const uint8_t* data, int length);

    // Stops the monitor and closes the line. Not from the monitor thread.
    void CloseLine();

    // Raw termios for the line parameters, always; false when the baud rate is not in the
    // standard table (the line then needs the arbitrary-rate interface).
    static bool MakeLineSettings(termios& tio, int baud, char parity, int dataBits,
                                 int stopBits, int handshake);

    bool IsLineOpen() const { return m_portHandle >= 0 || m_d2xxHandle != nullptr; }
    bool IsMonitorAlive() const { return m_monitorAlive.load(); }
    // The monitor ended because the line went away or could not be watched any more.
    bool IsLineGone() const { return m_lineGone.load(); }
    bool UsesD2xx() const { return m_useD2xx; }
    int PortNumber() const { return m_portNumber; }
    const std::string& PortName() const { return m_portName; }

protected:
    // Runs on the monitor thread for every received byte.
    virtual void OnByteReceived(uint8_t byte) = 0;
    // Runs on the monitor thread for a chunk read at once; the default hands on byte by byte.
    virtual void OnBytesReceived(const uint8_t* data, size_t size);
    // Runs on the monitor thread when the line reports errors or has gone away (kLineGone).
    virtual void OnLineError(uint32_t /*flags*/) {}

private:
    // False only when the line cannot run at the baud rate at all.
    bool ConfigureLine(int baud, char parity, int dataBits, int stopBits, int handshake);
    void MonitorLoop();
    bool ReadAvailable();
    void FlushWrite();
    void CloseHandle();
    void ReportFailure(const char* step, int error) const;
    void ReportFailure(const char* step, const std::string& reason) const;

    // The same line operations on a D2XX device (D2xxLine.cpp).
    bool OpenD2xxLine(const std::string& serialNumber, int baud, char parity, int dataBits,
                      int stopBits, int handshake);
    bool ConfigureD2xxLine(int baud, char parity, int dataBits, int stopBits, int handshake);
    void D2xxMonitorLoop();
    bool PollD2xxLine();
    void ReadD2xxAvailable(uint32_t count);
    void FlushD2xxWrite();  // with m_writeLock held
    void CloseD2xxHandle();
    void ReportD2xxFailure(const char* step);

    // The monitor's end when the line has gone: closes it and marks it gone.
    void LineGone();

    std::atomic<bool> m_monitorAlive{false};
    std::atomic<bool> m_lineGone{false};
    // Opened and replaced only while no monitor runs; the monitor itself closes it when the
    // line goes away, and CloseLine reads it only after the monitor has ended.
    int m_portHandle = -1;
    d2xx::FT_HANDLE m_d2xxHandle = nullptr;  // the same for a D2XX device
    int m_shutdownEvent = -1;  // eventfd: stop the monitor
    int m_writeEvent = -1;     // eventfd: the write buffer holds data
    bool m_useD2xx = false;
    int m_portNumber = 0;
    std::string m_portName;

    std::mutex m_lineLock;  // held while the line is opened and configured
    std::thread m_monitorThread;

    std::mutex m_writeLock;  // guards m_writeBuffer and m_writeFill
    std::vector<uint8_t> m_writeBuffer;
    size_t m_writeFill = 0;
};

}  // namespace vellf
