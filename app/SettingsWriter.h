// Writes settings on a worker thread, one after the other in the order asked. Each write
// syncs the settings file to disk, which can take tens of milliseconds on a busy machine;
// during a write series that would stall the window between two reader exchanges.
#pragma once

#include <QString>
#include <QThreadPool>
#include <atomic>
#include <functional>

class CSettingsWriter {
  public:
    CSettingsWriter();
    ~CSettingsWriter();
    CSettingsWriter(const CSettingsWriter&) = delete;
    CSettingsWriter& operator=(const CSettingsWriter&) = delete;

    void PutInt(const QString& section, const QString& key, int value);
    void PutString(const QString& section, const QString& key, const QString& value);
    // Returns when every write asked for so far is done; false when one of them since the
    // last wait could not be stored. With pump, runs it between short waits (the window's
    // events), so that a slow disk holds this thread's work but not its event loop.
    bool WaitUntilWritten(const std::function<void()>& pump = {});

  private:
    QThreadPool m_worker;
    std::atomic<bool> m_failed{false};
};
