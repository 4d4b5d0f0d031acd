// A virtual reader on a pseudo-terminal, stored as the station's interface choice, so that
// a main window connects to it silently.
#pragma once

#include <memory>
#include <string>

#include "FreshChip.h"
#include "Settings.h"
#include "VirtualReader.h"

namespace apptest {

class StationReader {
  public:
    explicit StationReader(const std::string& version = "243c") {
        m_reader.Engine().SetVersion(version);
        m_reader.Start();
        PutSettingString("Port", "Name", QString::fromStdString(m_reader.Path()));
    }

    vsim::ReaderEngine& Engine() { return m_reader.Engine(); }
    std::string Path() const { return m_reader.Path(); }

    void Place(int chipType) { m_reader.Engine().PlaceTransponder(vsim::MakeFreshChip(chipType)); }
    void Remove() { m_reader.Engine().RemoveTransponder(); }

  private:
    vsim::VirtualReader m_reader;
};

}  // namespace apptest
