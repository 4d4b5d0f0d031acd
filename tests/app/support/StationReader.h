// A virtual reader on a pseudo-terminal, stored as the station's interface choice, so that
// a main window connects to it silently.
#pragma once

#include <memory>
#include <string>

#include "Settings.h"
#include "TransponderFactory.h"
#include "VirtualReader.h"

namespace apptest {

class StationReader {
  public:
    explicit StationReader(const std::string& version = "243c")
    {
        m_reader.Engine().SetVersion(version);
        m_reader.Start();
        PutSettingString("Port", "Name", QString::fromStdString(m_reader.Path()));
    }

    vsim::ReaderEngine& Engine() { return m_reader.Engine(); }
    std::string Path() const { return m_reader.Path(); }

    // A chip as it comes new from the factory, in a configuration the reader can read.
    static std::unique_ptr<vsim::Transponder> FreshChip(int chipType)
    {
        switch (chipType) {
        case 3:
            return vsim::MakeConfiguredChip(3, 0x6001F004);
        case 9:
            return vsim::MakeConfiguredChip(9, 0x000880E8);
        case 17:
            return vsim::MakeConfiguredChip(17, 0x00088000);
        default:
            return vsim::MakeBlankChip(chipType);
        }
    }

    void Place(int chipType) { m_reader.Engine().PlaceTransponder(FreshChip(chipType)); }
    void Remove() { m_reader.Engine().RemoveTransponder(); }

  private:
    vsim::VirtualReader m_reader;
};

}  // namespace apptest
