#include "transport/PortNumbers.h"

namespace vellf {

// The pools are never destroyed: ports still open at process exit release their numbers while
// the SDK context closes them, after other statics may already be gone.

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
    static auto* pool = new CPortNumberPool(1);
    return *pool;
}

CPortNumberPool& HidPortNumbers() {
    static auto* pool = new CPortNumberPool(10001);
    return *pool;
}

CPortNumberPool& TcpPortNumbers() {
    static auto* pool = new CPortNumberPool(20001);
    return *pool;
}

}  // namespace vellf
