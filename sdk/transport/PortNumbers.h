// Process-wide lists of the port numbers in use, one per transport. Each hands out the
// smallest free number at or above its base; the number is released when the transport
// closes.
#pragma once

#include <mutex>
#include <set>

namespace vellf {

class CPortNumberPool {
public:
    explicit CPortNumberPool(int base) : m_base(base) {}
    CPortNumberPool(const CPortNumberPool&) = delete;
    CPortNumberPool& operator=(const CPortNumberPool&) = delete;

    int Acquire();
    void Release(int number);

private:
    const int m_base;
    std::mutex m_lock;
    std::set<int> m_used;
};

CPortNumberPool& SerialPortNumbers();  // serial lines and D2XX devices, from 1
CPortNumberPool& HidPortNumbers();     // HID links, from 10001
CPortNumberPool& TcpPortNumbers();     // TCP connections and LAN configuration ports, from 20001

}  // namespace vellf
