// orvex-fsk-programmer: the programming station.
#include <QApplication>

#include "OrvexFSKApp.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    COrvexFSKApp station;
    station.RunApplication();
    return 0;
}
