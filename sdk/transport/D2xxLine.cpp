// The serial transport on an FTDI device named by its serial number: the line operations go
// to the D2XX library's W32 functions instead of the terminal device.
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "transport/SerialLine.h"

namespace vellf {

using namespace d2xx;

namespace {

// Received bytes reach the host in USB packets at most this often.
constexpr UCHAR kLatencyMs = 2;
// The library has no descriptor for poll(), so the monitor looks at its queues this often.
constexpr int kQueuePollMs = 1;
constexpr ULONG kEventMask = EV_RXCHAR | EV_CTS;
constexpr DWORD kReportedLineErrors =
    CE_RXOVER | CE_OVERRUN | CE_RXPARITY | CE_FRAME | CE_TXFULL | CE_IOE;
// A queue count beyond this is not believed; the rest is read on the next poll.
constexpr DWORD kMaxReadPerPoll = 4096;
constexpr DWORD kAccessDenied = 5;
// As long as a write to a terminal line may wait for room.
constexpr DWORD kWriteTimeoutMs = 1000;

bool SetParity(FTDCB& dcb, char parity) {
    switch (parity) {
        case 'N':
        case 'n':
            dcb.Parity = NOPARITY;
            break;
        case 'E':
        case 'e':
            dcb.Parity = EVENPARITY;
            break;
        case 'O':
        case 'o':
            dcb.Parity = ODDPARITY;
            break;
        default:
            return false;
    }
    dcb.fParity = dcb.Parity != NOPARITY ? 1 : 0;
    return true;
}

// What the settings string "baud=%d parity=%c data=%d stop=%d" puts into the line state.
bool ApplyLineSettings(FTDCB& dcb, int baud, char parity, int dataBits, int stopBits) {
    if (baud <= 0 || dataBits < 5 || dataBits > 8 || (stopBits != 1 && stopBits != 2)) {
        return false;
    }
    if (!SetParity(dcb, parity)) return false;
    dcb.BaudRate = static_cast<DWORD>(baud);
    dcb.ByteSize = static_cast<BYTE>(dataBits);
    dcb.StopBits = stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    return true;
}

void ApplyHandshake(FTDCB& dcb, int handshake) {
    dcb.fBinary = 1;
    dcb.fDsrSensitivity = 0;
    dcb.fTXContinueOnXoff = 1;
    dcb.fAbortOnError = 0;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fNull = 0;
    dcb.fRtsControl =
        (handshake == 1 || handshake == 3) ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.fOutxCtsFlow = handshake == 1 ? 1 : 0;
    dcb.fOutxDsrFlow = handshake == 1 ? 1 : 0;
    dcb.fOutX = handshake == 2 ? 1 : 0;
    dcb.fInX = handshake == 2 ? 1 : 0;
    if (handshake == 2) {
        dcb.XonChar = 0x11;
        dcb.XoffChar = 0x13;
    }
}

}  // namespace

void CUSBSerialPort::ReportD2xxFailure(const char* step) {
    // Without a handle the library has no error to tell; the system's own is the one.
    if (m_d2xxHandle == nullptr) {
        ReportFailure(step, errno);
        return;
    }
    char reason[48];
    std::snprintf(reason, sizeof reason, "D2XX error %u",
                  static_cast<unsigned>(W32GetLastError(m_d2xxHandle)));
    ReportFailure(step, std::string(reason));
}

bool CUSBSerialPort::OpenD2xxLine(const std::string& serialNumber, int baud, char parity,
                                  int dataBits, int stopBits, int handshake) {
    // A device without a serial number cannot be named, and an empty name must not open
    // whichever device the library would pick for it.
    if (serialNumber.empty()) return false;
    FT_HANDLE handle = W32CreateFile(serialNumber);
    if (handle == InvalidHandle() || handle == nullptr) return false;
    m_d2xxHandle = handle;
    SetLatencyTimer(handle, kLatencyMs);  // a slower timer only delays replies
    ConfigureD2xxLine(baud, parity, dataBits, stopBits, handshake);
    W32PurgeComm(handle, PURGE_TXCLEAR | PURGE_RXCLEAR);
    return true;
}

bool CUSBSerialPort::ConfigureD2xxLine(int baud, char parity, int dataBits, int stopBits,
                                       int handshake) {
    // Reads return at once with what is queued; a write gives up after a while, so that a
    // stalled device cannot hold the monitor (and the close that waits for it) for ever.
    FTTIMEOUTS timeouts{0xFFFFFFFFu, 0, 0, 0, kWriteTimeoutMs};
    if (!W32SetCommTimeouts(m_d2xxHandle, &timeouts)) {
        ReportD2xxFailure("FT_W32_SetCommTimeouts()");
        return false;
    }
    if (!W32SetCommMask(m_d2xxHandle, kEventMask)) {
        ReportD2xxFailure("FT_W32_SetCommMask()");
        return false;
    }
    FTDCB dcb{};
    if (!W32GetCommState(m_d2xxHandle, &dcb)) {
        ReportD2xxFailure("FT_W32_GetCommState()");
        return false;
    }
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    if (!ApplyLineSettings(dcb, baud, parity, dataBits, stopBits)) {
        ReportFailure("line settings", EINVAL);
        return false;
    }
    ApplyHandshake(dcb, handshake);
    if (!W32SetCommState(m_d2xxHandle, &dcb)) {
        ReportD2xxFailure("FT_W32_SetCommState()");
        return false;
    }
    return true;
}

// The library offers no descriptor that poll() could wait on, and its event wait cannot be
// woken for a write or a stop request (nor is it present in every build of the library). So
// the loop polls the library's queue status every millisecond, while queued writes and the
// stop request still wake it at once through their event descriptors.
void CUSBSerialPort::D2xxMonitorLoop() {
    while (m_d2xxHandle != nullptr) {
        pollfd fds[2] = {{m_shutdownEvent, POLLIN, 0}, {m_writeEvent, POLLIN, 0}};
        const int ready = poll(fds, 2, kQueuePollMs);
        if (ready < 0 && errno != EINTR) ReportFailure("poll()", errno);
        if (ready > 0 && (fds[0].revents & POLLIN)) break;
        if (ready > 0 && (fds[1].revents & POLLIN)) FlushWrite();
        if (!PollD2xxLine()) {
            // The device has gone: close it ourselves.
            LineGone();
            break;
        }
    }
}

bool CUSBSerialPort::PollD2xxLine() {
    DWORD errors = 0;
    FTCOMSTAT status{};
    if (!W32ClearCommError(m_d2xxHandle, &errors, &status)) return false;
    if (errors & CE_BREAK) errors &= ~CE_FRAME;
    if (errors & kReportedLineErrors) OnLineError(errors & kReportedLineErrors);
    DWORD modemStatus = 0;
    if (!W32GetCommModemStatus(m_d2xxHandle, &modemStatus)) return false;
    if (status.cbInQue > 0) ReadD2xxAvailable(status.cbInQue);
    return true;
}

void CUSBSerialPort::ReadD2xxAvailable(uint32_t count) {
    // One byte per call, as the queue reports them; handed on together so that a waiting
    // exchange wakes once.
    std::vector<uint8_t> bytes;
    bytes.reserve(count < kMaxReadPerPoll ? count : kMaxReadPerPoll);
    for (DWORD i = 0; i < count && i < kMaxReadPerPoll; ++i) {
        uint8_t byte = 0;
        DWORD got = 0;
        if (!W32ReadFile(m_d2xxHandle, &byte, 1, &got)) {
            const DWORD error = W32GetLastError(m_d2xxHandle);
            if (error != 0) {
                ReportD2xxFailure("FT_W32_ReadFile()");
                if (!bytes.empty()) OnBytesReceived(bytes.data(), bytes.size());
                OnLineError(error == kAccessDenied ? kLineGone : 0);
                return;
            }
        }
        if (got != 1) break;
        bytes.push_back(byte);
    }
    if (!bytes.empty()) OnBytesReceived(bytes.data(), bytes.size());
}

void CUSBSerialPort::FlushD2xxWrite() {
    if (m_writeFill == 0 || m_d2xxHandle == nullptr) return;
    DWORD written = 0;
    const bool ok = W32WriteFile(m_d2xxHandle, m_writeBuffer.data(),
                                 static_cast<DWORD>(m_writeFill), &written) != 0;
    const size_t sent = ok ? std::min<size_t>(written, m_writeFill) : 0;
    if (sent < m_writeFill) {
        ReportD2xxFailure("FT_W32_WriteFile()");
        // What went out is gone; the rest goes with the next signalled write.
        std::memmove(m_writeBuffer.data(), m_writeBuffer.data() + sent, m_writeFill - sent);
    }
    m_writeFill -= sent;
}

void CUSBSerialPort::CloseD2xxHandle() {
    if (m_d2xxHandle == nullptr) return;
    if (!W32CloseHandle(m_d2xxHandle)) ReportD2xxFailure("FT_W32_CloseHandle()");
    m_d2xxHandle = nullptr;
}

}  // namespace vellf
