/* Writes a series of 26-bit cards with consecutive numbers, one per chip laid on the reader,
 * and checks each by reading it back. Every failure is reported in words.
 * usage: write_series PORT FACILITY FIRST COUNT */
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <vellf.h>

enum { kWaitForChipMs = 30000, kPollMs = 200 };

static void sleep_ms(int ms) {
    struct timespec pause = {ms / 1000, (long)(ms % 1000) * 1000000L};
    nanosleep(&pause, NULL);
}

static void report(int handle, const char* what) {
    int code = LfGetLastError(handle);
    fprintf(stderr, "write_series: %s: %s (error %d)\n", what, LfGetErrorText(code), code);
}

/* Whether the chip on the field still carries the card just written. */
static int still_there(int handle, int facility, int number) {
    int readFacility = 0, readNumber = 0;
    return LfReadWiegand26(handle, &readFacility, &readNumber) == 0 &&
           readFacility == facility && readNumber == number;
}

/* Writes one card once a writable chip lies on the field; 0, or -1 after reporting why. */
static int write_card(int handle, int facility, int number) {
    for (int waited = 0;; waited += kPollMs) {
        if (LfWriteWiegand26(handle, LF_CHIP_ATA5577, facility, number, LF_WRITE_NO_LOCK) == 0)
            break;
        int code = LfGetLastError(handle);
        /* A silent reader or a refused parameter will not get better by waiting. */
        if (code == LF_ERROR_TIMEOUT || code == LF_ERROR_INVALID_PARAMETER ||
            code == LF_ERROR_CHIP_NOT_SUPPORTED || waited >= kWaitForChipMs) {
            report(handle, "writing");
            return -1;
        }
        sleep_ms(kPollMs);
    }
    int readFacility = 0, readNumber = 0;
    if (LfReadWiegand26(handle, &readFacility, &readNumber) != 0) {
        report(handle, "reading back");
        return -1;
    }
    if (readFacility != facility || readNumber != number) {
        fprintf(stderr, "write_series: the chip reads %d/%d, not %d/%d\n", readFacility,
                readNumber, facility, number);
        return -1;
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: write_series PORT FACILITY FIRST COUNT\n");
        return 2;
    }
    int facility = atoi(argv[2]), first = atoi(argv[3]), count = atoi(argv[4]);
    if (facility < 0 || facility > 255 || first < 0 || count < 1 || first + count > 65536) {
        fprintf(stderr, "write_series: facility 0-255, numbers 0-65535\n");
        return 2;
    }
    int handle = LfOpenPort(argv[1], 19200, LF_OPEN_8N1, 500);
    if (handle <= 0) {
        fprintf(stderr, "write_series: %s: %s\n", argv[1], LfGetErrorText(handle));
        return 1;
    }
    int status = 0;
    for (int number = first; number < first + count; ++number) {
        if (write_card(handle, facility, number) != 0) {
            status = 1;
            break;
        }
        printf("card %d/%d written\n", facility, number);
        fflush(stdout);
        /* The next card goes onto the next chip: wait until this one is taken away. */
        for (int waited = 0; number + 1 < first + count && still_there(handle, facility, number);
             waited += kPollMs) {
            if (waited >= kWaitForChipMs) {
                fprintf(stderr, "write_series: no next chip laid on the reader\n");
                LfClosePort(handle);
                return 1;
            }
            sleep_ms(kPollMs);
        }
    }
    LfClosePort(handle);
    return status;
}
