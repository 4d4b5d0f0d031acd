// A program that ends with a network port still open while the socket log is on and the
// reader drops the connection during the exit: the SDK closes the port after other static
// objects of the program are gone. Exits 0 when nothing went wrong.
#include <net/if.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "TcpFront.h"
#include "transport/Adapter.h"
#include "transport/TcpLog.h"
#include "vellf.h"

namespace {

vsim::ReaderEngine* g_engine = nullptr;
vsim::TcpFront* g_front = nullptr;

// Runs after the log path's owner (made later) has gone and before the SDK context goes.
void DropDuringExit() {
    g_front->Drop(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the port logs the close
}

void Pump(void*) {}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: exit_with_open_port LOG_FILE\n");
        return 2;
    }
    vellf::SetAdapterOverride(std::vector<vellf::CAdapter>{
        {"127.0.0.1", "255.0.0.0", static_cast<int>(if_nametoindex("lo"))}});
    // Never destroyed: the reader must outlive the port.
    g_engine = new vsim::ReaderEngine();
    g_engine->SetVersion("243c");
    g_front = new vsim::TcpFront(*g_engine);
    if (!g_front->Start("127.0.0.31", 0)) return 3;
    const std::string name = "127.0.0.31-" + std::to_string(g_front->Port());
    if (LfOpenPort(name.c_str(), 9600, 0x80, 500) <= 0) return 4;
    std::atexit(DropDuringExit);
    LfSetWaitHooks(Pump, nullptr, nullptr);
    vellf::SetSocketLogPath(argv[1]);
    return 0;  // the port stays open
}
