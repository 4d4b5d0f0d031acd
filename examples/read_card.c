/* Reads the card on a reader in one format and prints its fields.
 * usage: read_card PORT FORMAT   (FORMAT: 26, 34, 34nc, 35, 36 or 37) */
#include <stdio.h>
#include <string.h>
#include <vellf.h>

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: read_card PORT 26|34|34nc|35|36|37\n");
        return 2;
    }
    const char* format = argv[2];
    int handle = LfOpenPort(argv[1], 19200, LF_OPEN_8N1, 500);
    if (handle <= 0) {
        fprintf(stderr, "read_card: %s: %s\n", argv[1], LfGetErrorText(handle));
        return 1;
    }
    /* The cards are FSK cards: the reader must listen for them. */
    if (LfSetReceiveMode(handle, LF_RECEIVE_FSK_RF50) != 0) {
        int code = LfGetLastError(handle);
        fprintf(stderr, "read_card: receive mode: %s (error %d)\n", LfGetErrorText(code), code);
        LfClosePort(handle);
        return 1;
    }
    int first = 0, number = 0, extra = 0, result = -1;
    if (strcmp(format, "26") == 0) result = LfReadWiegand26(handle, &first, &number);
    else if (strcmp(format, "34") == 0) result = LfReadWiegand34(handle, &first, &number);
    else if (strcmp(format, "34nc") == 0) result = LfReadWiegand34NC(handle, &first, &number);
    else if (strcmp(format, "35") == 0) result = LfReadWiegand35(handle, &first, &number);
    else if (strcmp(format, "36") == 0) result = LfReadWiegand36(handle, &first, &number, &extra);
    else if (strcmp(format, "37") == 0) result = LfReadWiegand37(handle, &first, &number);
    else {
        fprintf(stderr, "read_card: unknown format %s\n", format);
        LfClosePort(handle);
        return 2;
    }
    if (result != 0) {
        int code = LfGetLastError(handle);
        fprintf(stderr, "read_card: %s (error %d)\n", LfGetErrorText(code), code);
        LfClosePort(handle);
        return 1;
    }
    if (strcmp(format, "36") == 0)
        printf("facility %d, number %d, extra %d\n", first, number, extra);
    else
        printf("%s %d, number %d\n", strcmp(format, "35") == 0 ? "company" : "facility", first,
               number);
    LfClosePort(handle);
    return 0;
}
