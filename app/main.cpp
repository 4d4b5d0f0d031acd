// orvex-fsk-programmer: the programming station.
#include <QApplication>

#include "MakerAddresses.h"
#include "OrvexFSKApp.h"
#include "update/UpdateCheck.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // The one update check of the run; it outlives every window that asks it.
    CUpdateCheck updateCheck(QString::fromUtf8(kMakerUpdateBase));
    COrvexFSKApp station;
    station.RunApplication();
    return 0;
}
