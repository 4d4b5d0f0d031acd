// A network reader served on loopback for the TCP tests: the loopback interface stands in
// for the station's adapter (connections bind to 127.0.0.1, readers listen on other loopback
// addresses), and the socket log goes to a file of the test's own.
#pragma once

#include <gtest/gtest.h>
#include <net/if.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ReaderEngine.h"
#include "SimReader.h"
#include "TcpFront.h"
#include "transport/Adapter.h"
#include "transport/TcpLog.h"

class LoopbackReaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        vellf::SetAdapterOverride(std::vector<vellf::CAdapter>{
            {"127.0.0.1", "255.0.0.0", static_cast<int>(if_nametoindex("lo"))}});
        m_logPath = m_dir.Path() + "/socket.log";
        vellf::SetSocketLogPath(m_logPath);
        m_engine.SetVersion("243c");
    }
    void TearDown() override {
        m_front.Stop();
        vellf::SetSocketLogPath("");
        vellf::SetAdapterOverride(std::nullopt);
    }

    std::string Log() const {
        std::ifstream file(m_logPath);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
    // Waits (bounded) until the log holds text: the worker handles a drop on its own thread.
    bool WaitForLog(const std::string& text) const {
        for (int i = 0; i < 300; ++i) {
            if (Log().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    testsupport::TempDir m_dir;
    std::string m_logPath;
    vsim::ReaderEngine m_engine;
    vsim::TcpFront m_front{m_engine};
};
