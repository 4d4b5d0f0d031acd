// Writes settings on a worker thread, one after the other in the order asked. Each write
// syncs the settings file to disk, which can take tens of milliseconds on a busy machine;
// during a write series that would stall the window between two reader exchanges.
#pragma once

#include <QString>
#include <QThreadPool>
#include <atomic>

class CSettingsWriter {
  public:
    CSettingsWriter();
    ~CSettingsWriter();
    CSettingsWriter(const CSettingsWriter&) = delete;
    CSettingsWriter& operator=(const CSettingsWriter&) = delete;

    void PutInt(const QString& section, const QString& key, int value);
    void PutString(const QString& section, const QString& key, const QString& value);
    // Returns when every write asked for so far is done; false when one of them since the
    // last wait could not be stored.
    bool WaitUntilWritten();

  private:
    QThreadPool m_worker;
    std::atomic<bool> m_failed{false};
};
