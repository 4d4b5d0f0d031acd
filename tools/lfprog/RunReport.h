// The station's runs as lfprog shows them: remembers the last status with its SDK error for
// the command's result, and prints written cards and failures of a series as they happen.
#pragma once

#include <string>

#include "Output.h"
#include "station/RunView.h"

class CRunReport : public station::CRunView {
  public:
    explicit CRunReport(const COutput& out) : m_out(out) {}

    // Series mode: every card and failure is printed as it happens.
    void SetSeries(int format, int total) {
        m_format = format;
        m_total = total;
        m_series = true;
    }
    // The number to print as the next one in a progress line.
    void SetNextNumber(long long next) { m_next = next; }

    station::StatusMessage LastStatus() const { return m_status; }
    int LastError() const { return m_errorCode; }
    bool LogFailed() const { return m_logFailed; }
    int Written() const { return m_written; }

    void ShowStatus(station::StatusMessage message, int errorCode) override;
    void ShowLamps(station::LampState) override {}
    void SignalSuccess() override {}
    void SignalFailure() override;
    void ShowFields() override {}
    void ReportLogFailure() override;
    void CardWritten(const station::WrittenCard& card) override;

  private:
    const COutput& m_out;
    station::StatusMessage m_status = station::StatusMessage::None;
    int m_errorCode = 0;
    bool m_logFailed = false;
    bool m_series = false;
    int m_format = 0;
    int m_total = 0;  // cards the series writes, 0 when it stops at an end value
    int m_written = 0;
    long long m_next = 0;
};

// The words lfprog prints for a run's status.
std::string StatusText(station::StatusMessage message);
