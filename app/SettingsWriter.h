// Writes settings on a worker thread, one after the other in the order asked. Each write
// syncs the settings file to disk, which can take tens of milliseconds on a busy machine;
// during a write series that would stall the window between two reader exchanges.
#pragma once

#include <QString>
#include <QThreadPool>

class CSettingsWriter {
  public:
    CSettingsWriter();
    ~CSettingsWriter();
    CSettingsWriter(const CSettingsWriter&) = delete;
    CSettingsWriter& operator=(const CSettingsWriter&) = delete;

    void PutInt(const QString& section, const QString& key, int value);
    void PutString(const QString& section, const QString& key, const QString& value);
    // Returns when every write asked for so far is in the file.
    void WaitUntilWritten();

  private:
    QThreadPool m_worker;
};
