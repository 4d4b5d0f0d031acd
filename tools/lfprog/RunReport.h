// The station's runs as lfprog shows them: remembers the last status for the command's
// result, and prints written cards and failures of a series as they happen.
#pragma once

#include <string>

#include "Output.h"
#include "station/RunView.h"

class CRunReport : public station::CRunView {
  public:
    explicit CRunReport(const COutput& out) : m_out(out) {}

    // A single write's number that the register holds already is written again as a
    // replacement card (--reissue, for the --reason given); otherwise the write is refused.
    void SetReissue(bool reissue, QString reason) {
        m_reissue = reissue;
        m_reissueReason = std::move(reason);
    }
    // A chip that carries a valid card of the register is written over (--overwrite);
    // otherwise the write is refused.
    void SetOverwrite(bool overwrite) { m_overwrite = overwrite; }
    // Whether the card was written as a re-issue.
    bool Reissued() const { return m_reissued; }

    // Series mode: every card and failure, and the reader falling silent and answering
    // again, is printed as it happens.
    void SetSeries(int total) {
        m_total = total;
        m_series = true;
    }
    // The number to print as the next one with a failure.
    void SetNextNumber(long long next) { m_next = next; }

    const station::Status& LastStatus() const { return m_status; }
    bool LogFailed() const { return m_logFailed; }
    int Written() const { return m_written; }

    void ShowStatus(const station::Status& status) override;
    void ShowLamps(station::LampState) override {}
    void SignalSuccess() override {}
    void SignalFailure() override;
    void ShowFields() override {}
    void StoreNextNumber(const QString&) override {}
    bool WaitUntilNumberStored() override { return true; }
    void CardWritten(const station::CardRecord& card) override;
    // A series over holders: the name of the person whose chip comes next is printed (it is
    // the operator's terminal), and each card line names its holder.
    void ShowHolder(const QString& name) override;
    void ReportLogFailure() override;
    QString FailedCardEntry(const station::Status& status,
                            const station::CardRecord& card) override;
    QString NotLoggedEntry(const station::CardRecord& card, const QDateTime& when) override;
    QString NotConfirmedEntry(const station::CardRecord& card, const QString& reason) override;
    bool ConfirmReissue(const station::CardRecord& card, const station::RegisterEntry& earlier,
                        QString& reason) override;
    bool ConfirmOverwrite(const station::CardRecord& card,
                          const station::RegisterEntry& onChip) override;

  private:
    const COutput& m_out;
    station::Status m_status;
    bool m_logFailed = false;
    bool m_series = false;
    bool m_reissue = false;
    bool m_reissued = false;
    bool m_readerSilent = false;  // the last status said the reader does not answer
    QString m_reissueReason;
    bool m_overwrite = false;
    int m_total = 0;  // cards the series writes
    int m_written = 0;
    long long m_next = 0;
    QString m_holderName;  // the holder the next card is for
};

// The words lfprog prints for a run's status, with the SDK's error code where it has one and
// the register's reason or earlier card.
std::string StatusText(const station::Status& status);

// The SDK's error code a status carries, 0 for none.
int StatusSdkError(const station::Status& status);

// The exit code of a failed run's status.
ExitCode StatusExitCode(const station::Status& status);
