// orvex-fsk-programmer: the programming station.
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "MakerAddresses.h"
#include "OrvexFSKApp.h"
#include "update/UpdateCheck.h"

namespace {

const char kUsage[] =
    "usage: orvex-fsk-programmer [--help] [--version]\n"
    "\n"
    "The programming station for 125 kHz FSK transponders. It takes its settings from\n"
    "~/.config/Qor Applikationen/Orvex-FSK.ini and opens the manual of the dialog language\n"
    "with F1.\n"
    "  --help     show this text\n"
    "  --version  show the program's version\n";

}  // namespace

int main(int argc, char** argv) {
    // The station is run from the desktop; these two answer without opening a window.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("orvex-fsk-programmer %s\n", ORVEX_PROJECT_VERSION);
            return 0;
        }
    }
    QApplication application(argc, argv);
    // The one update check of the run; it outlives every window that asks it.
    CUpdateCheck::RemoveOldInstallerFolders();
    CUpdateCheck updateCheck(QString::fromUtf8(kMakerUpdateBase), QString::fromUtf8(kMakerUpdateKey));
    COrvexFSKApp station;
    station.RunApplication();
    return 0;
}
