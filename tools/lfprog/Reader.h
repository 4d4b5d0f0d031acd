// The reader lfprog talks to: named by --port or the LFPROG_PORT variable, opened as the
// station opens it (19200 baud, then 9600, unless --baud says), closed at the end.
#pragma once

#include <string>

#include "CommandLine.h"
#include "Output.h"

class CReader {
  public:
    CReader() = default;
    ~CReader();
    CReader(const CReader&) = delete;
    CReader& operator=(const CReader&) = delete;

    // Opens the reader and asks its version; kExitSuccess, or the exit code after the error
    // has been reported.
    int Open(const CCommandLine& line, const COutput& out);

    int Handle() const { return m_handle; }
    const std::string& Port() const { return m_port; }
    const std::string& Model() const { return m_model; }
    const std::string& Version() const { return m_version; }

  private:
    int m_handle = 0;
    std::string m_port;
    std::string m_model;
    std::string m_version;
};

// The SDK's error code in words.
std::string SdkErrorText(int code);

// The exit code for a failure with this SDK error: a reader that does not answer is "no
// reader", anything else a failure.
ExitCode ExitCodeOfSdkError(int code);
