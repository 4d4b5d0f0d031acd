// A virtual reader on a real pseudo-terminal for SDK tests, and small helpers around it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "SdkApp.h"
#include "VirtualReader.h"

namespace testsupport {

inline std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> out;
    for (int v : values) out.push_back(static_cast<uint8_t>(v));
    return out;
}

// Starts a virtual reader answering the given version text.
inline std::unique_ptr<vsim::VirtualReader> StartReader(const std::string& version = "243c",
                                                         const std::string& link = {}) {
    auto reader = std::make_unique<vsim::VirtualReader>();
    reader->Engine().SetVersion(version);
    EXPECT_TRUE(reader->Start(link));
    return reader;
}

// The SDK's port object behind a handle, for looking at state the C interface keeps inside.
inline std::shared_ptr<vellf::CVel_RW_Port> PortOf(int handle) {
    return vellf::CVel_LF_SDKApp::Instance().Lookup(handle);
}

// A fresh directory for links and files, removed with the object.
class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/vellf-test-XXXXXX";
        m_path = mkdtemp(pattern);
    }
    ~TempDir() { std::system(("rm -rf '" + m_path + "'").c_str()); }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

}  // namespace testsupport
