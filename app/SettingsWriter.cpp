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
    m_worker.start([this, section, key, value] {
        if (!PutSettingInt(section, key, value)) m_failed = true;
    });
}

void CSettingsWriter::PutString(const QString& section, const QString& key, const QString& value) {
    m_worker.start([this, section, key, value] {
        if (!PutSettingString(section, key, value)) m_failed = true;
    });
}

namespace {

// The longest the caller sleeps between two pumps: well below a frame, as in a register call.
constexpr int kPumpSliceMs = 2;

}  // namespace

bool CSettingsWriter::WaitUntilWritten(const std::function<void()>& pump) {
    if (pump) {
        while (!m_worker.waitForDone(kPumpSliceMs)) pump();
    } else {
        m_worker.waitForDone();
    }
    return !m_failed.exchange(false);
}
