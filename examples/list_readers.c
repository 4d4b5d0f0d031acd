/* Lists the readers a program can open: serial ports and USB readers, and with --lan the
 * readers on the local network. Each name can be passed to LfOpenPort as it is. */
#include <stdio.h>
#include <string.h>
#include <vellf.h>

/* Prints a text list: entries closed by a zero byte, the list by one more. */
static void print_list(const char* title, const char* list, int used) {
    printf("%s:\n", title);
    if (used <= 1) printf("  (none)\n");
    for (const char* entry = list; used > 1 && *entry != '\0'; entry += strlen(entry) + 1)
        printf("  %s\n", entry);
}

int main(int argc, char** argv) {
    static char list[64 * 1024];
    print_list("serial ports", list, LfListComPorts(list, sizeof list));
    print_list("USB readers", list, LfListUsbReaders(list, sizeof list));
    int flags = LfGetUsbDeviceFlags();
    if (flags & LF_USB_FLAG_VIRTUAL_COM_READER_UNDRIVEN)
        printf("a USB reader is plugged in, but the CDC-ACM driver is missing\n");
    if (flags & LF_USB_FLAG_D2XX_READER_UNDRIVEN)
        printf("a USB serial reader is plugged in, but the D2XX library is missing\n");
    /* The network search sends broadcasts on every adapter: only on request. */
    if (argc > 1 && strcmp(argv[1], "--lan") == 0)
        print_list("network readers", list, LfFindLanReaders(list, sizeof list));
    return 0;
}
