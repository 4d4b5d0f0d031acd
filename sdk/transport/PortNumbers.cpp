#include "transport/PortNumbers.h"

namespace vellf {

int CPortNumberPool::Acquire() {
    std::lock_guard<std::mutex> guard(m_lock);
    int number = m_base;
    for (int used : m_used) {
        if (used != number) break;
        ++number;
    }
    m_used.insert(number);
    return number;
}

void CPortNumberPool::Release(int number) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_used.erase(number);
}

CPortNumberPool& SerialPortNumbers() {
    static CPortNumberPool pool(1);
    return pool;
}

CPortNumberPool& HidPortNumbers() {
    static CPortNumberPool pool(10001);
    return pool;
}

CPortNumberPool& TcpPortNumbers() {
    static CPortNumberPool pool(20001);
    return pool;
}

}  // namespace vellf
