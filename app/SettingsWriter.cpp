#include "SettingsWriter.h"

#include "Settings.h"

CSettingsWriter::CSettingsWriter() {
    // One thread, so the writes reach the file in the order they were asked for.
    m_worker.setMaxThreadCount(1);
    m_worker.setExpiryTimeout(-1);
}

CSettingsWriter::~CSettingsWriter() {
    WaitUntilWritten();
}

void CSettingsWriter::PutInt(const QString& section, const QString& key, int value) {
    m_worker.start([section, key, value] { PutSettingInt(section, key, value); });
}

void CSettingsWriter::PutString(const QString& section, const QString& key, const QString& value) {
    m_worker.start([section, key, value] { PutSettingString(section, key, value); });
}

void CSettingsWriter::WaitUntilWritten() {
    m_worker.waitForDone();
}
