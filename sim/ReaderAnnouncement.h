// Tells the station on this desktop that a virtual reader runs and on which line: one small
// file per running reader in the user's runtime folder, removed when the reader ends. The
// station's interface choice lists these readers by name, so a trainee who starts the
// virtual reader from the desktop menu only has to pick it.
//
// The file, <folder>/<pid>-<n>.reader, holds "pid=", "line=" and "name=" lines. A reader
// that is killed leaves its file behind; readers of the folder skip a file whose process has
// gone.
#pragma once

#include <string>

namespace vsim {

// $XDG_RUNTIME_DIR/orvex-fsk/readers, or /tmp/orvex-fsk-<uid>/readers without a runtime folder.
std::string AnnouncementFolder();

class ReaderAnnouncement {
  public:
    ReaderAnnouncement() = default;
    ~ReaderAnnouncement() { Withdraw(); }
    ReaderAnnouncement(const ReaderAnnouncement&) = delete;
    ReaderAnnouncement& operator=(const ReaderAnnouncement&) = delete;

    // Writes the file (whole or not at all); false when the folder cannot be made or is not
    // this user's alone.
    bool Announce(const std::string& line, const std::string& name);
    void Withdraw();
    const std::string& FilePath() const { return m_path; }

  private:
    std::string m_path;
};

}  // namespace vsim
