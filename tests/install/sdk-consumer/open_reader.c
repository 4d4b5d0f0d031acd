/* A third-party program of the reader SDK: opens the reader on the line given and prints
 * its model. Built against the installed SDK only. */
#include <stdio.h>
#include <vellf.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: open_reader LINE\n");
        return 2;
    }
    int handle = LfOpenPort(argv[1], 115200, 0, 500);
    if (handle <= 0) {
        fprintf(stderr, "open_reader: cannot open %s (%d)\n", argv[1], handle);
        return 1;
    }
    unsigned char reply[64];
    char model[32] = "";
    int count = LfGetVersion(handle, reply, sizeof reply, model, sizeof model);
    LfClosePort(handle);
    if (count < 0) return 1;
    printf("model %s, SDK %d\n", model, LfGetSdkVersion());
    return 0;
}
