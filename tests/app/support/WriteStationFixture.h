// The main window against a virtual reader, set up for writing, as the write-run and
// card-register tests drive it. A test class derives from this, calls PrepareWriteStation()
// in its init() and CloseWriteStation() in its cleanup().
#pragma once

#include <QAbstractButton>
#include <QFile>
#include <QLineEdit>
#include <QObject>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cstdint>
#include <memory>
#include <optional>

#include "Settings.h"
#include "support/AppTest.h"
#include "support/RecordingSignalOutput.h"
#include "support/StationReader.h"
#include "support/StationWindow.h"

namespace apptest {

class WriteStationFixture : public QObject {
  protected:
    std::unique_ptr<StationReader> m_reader;
    std::unique_ptr<COrvexFSKDlg> m_dlg;
    RecordingSignalOutput m_signals;
    QTemporaryDir m_dir;

    COrvexFSKDlg& Open() {
        m_dlg = OpenStationWindow();
        m_dlg->SetSignalOutput(&m_signals);
        return *m_dlg;
    }
    void SetCustomer(const QString& number) { Find<QLineEdit>(*m_dlg, 1005)->setText(number); }
    void Click(int id) { QTest::mouseClick(Find<QAbstractButton>(*m_dlg, id), Qt::LeftButton); }
    bool SeriesRunning() { return Find<QPushButton>(*m_dlg, 1007)->isChecked(); }
    vsim::ReaderEngine& Engine() { return m_reader->Engine(); }
    std::optional<uint64_t> CardOnField() {
        const auto snapshot = Engine().FieldSnapshot();
        return snapshot ? snapshot->cardWord : std::nullopt;
    }

    // Fresh settings with a short cycle and the write log at m_dir/write.txt (emptied), a
    // reader without a chip, no signals recorded.
    void PrepareWriteStation() {
        ClearSettings();
        PutSettingInt("Settings", "ZyklusZeit", 40);
        PutSettingString("Protokoll", "WriteLogFileName", m_dir.filePath("write.txt"));
        PutSettingInt("Protokoll", "WriteLogEnable", 1);
        QFile::remove(m_dir.filePath("write.txt"));
        m_reader = std::make_unique<StationReader>("243c");
        m_signals.calls.clear();
    }
    void CloseWriteStation() {
        m_dlg.reset();
        m_reader.reset();
    }
};

}  // namespace apptest
