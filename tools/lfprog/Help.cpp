// The commands with their help texts. The manual page says the same; change both together.
#include "Commands.h"

namespace {

const char kCommonOptions[] =
    "Common options:\n"
    "  --port NAME     the reader: a serial line (/dev/ttyUSB0, /dev/ttyACM0, COM3), a USB\n"
    "                  reader or a network reader as 'lfprog list' shows it; without it the\n"
    "                  LFPROG_PORT variable names the reader\n"
    "  --baud N        line speed (default 19200, then 9600)\n"
    "  --timeout MS    reply timeout in milliseconds (default 300)\n"
    "  --json          one JSON object per line on standard output, errors included\n"
    "  --help          this text\n"
    "  --version       the program's version\n";

const char kCardOptions[] =
    "  --format F      card format: 26, 26-huge, 34, 34-nc, 35, 36, 37, 37-huge (default 26)\n"
    "  --chip C        chip type: q5, ata5577, m2, sic7888, tl008 (default ata5577)\n";

const char kRegisterOption[] =
    "  --register R    the card register: off, an SQLite FILE, or\n"
    "                  postgresql://[user@]host[:port]/name (the password comes from\n"
    "                  ~/.pgpass or PGPASSWORD); default: the station's settings, else the\n"
    "                  file register.sqlite in ~/.local/share/Qor Applikationen/Orvex-FSK\n";

const std::string kListHelp =
    "usage: lfprog list [--lan] [--json]\n"
    "\n"
    "Lists the serial lines and the USB readers, one per line, with the name to give --port.\n"
    "  --lan           also search the local networks for network readers (this broadcasts\n"
    "                  on every network adapter)\n";

const std::string kInfoHelp =
    "usage: lfprog info --port NAME [--json]\n"
    "\n"
    "Opens the reader and shows its model, version reply, serial number and the SDK version.\n";

const std::string kReadHelp =
    "usage: lfprog read --port NAME [--format F] [--chip C] [--watch [--cycle MS]] [--log FILE]\n"
    "\n"
    "Reads the card on the reader and prints its fields and the chip identification. With\n"
    "--watch it reads every --cycle milliseconds (default 250) and prints each new card once,\n"
    "until Ctrl-C.\n" +
    std::string(kCardOptions) +
    "  --log FILE      append each card read to FILE in the station's read-log layout\n";

const std::string kWriteHelp =
    "usage: lfprog write --port NAME [--chip C] [--format F] [--facility N] --number N\n"
    "                    [--extra N] [--lock] [--no-verify] [--log FILE]\n"
    "\n"
    "Writes one card onto the transponder on the reader and reads it back to verify it.\n"
    "Every value is checked against the format before anything is sent to the reader. The\n"
    "card is recorded in the card register; a number the register holds already is refused\n"
    "(exit 5, naming the earlier card) unless --reissue writes it as a replacement card. A\n"
    "register that cannot record the card stops the write before the chip is touched (exit 6).\n" +
    std::string(kCardOptions) +
    "  --facility N    facility code (formats with one)\n"
    "  --number N      card number\n"
    "  --extra N       the 36-bit format's extra field\n"
    "  --lock          lock the chip after writing; it can never be written again\n"
    "  --no-verify     do not read the card back\n"
    "  --log FILE      append the card to FILE in the station's write-log layout\n"
    "  --reissue       write a number the register holds already again, recorded as a\n"
    "                  re-issue (a replacement for a lost or broken card)\n" +
    std::string(kRegisterOption);

const std::string kSeriesHelp =
    "usage: lfprog series --port NAME [--chip C] [--format F] [--facility N] [--extra N]\n"
    "                     --from N (--count C | --to M) [--lock] [--no-verify] [--log FILE]\n"
    "                     [--cycle MS] [--register R] [--next-free]\n"
    "\n"
    "Writes a series of cards with consecutive numbers: waits for each new chip on the reader,\n"
    "writes it with the next number, verifies it, and prints a line per card and a progress\n"
    "line. A chip left on the reader is written once; taken away for more than two seconds,\n"
    "the same chip counts as new again. The series ends after C cards, after the card with\n"
    "number M, or before a number the format cannot hold. Ctrl-C ends it after the current\n"
    "card and prints the next number to use. Every card is recorded in the card register: the\n"
    "series stops at a number the register holds already (exit 5, naming the earlier card),\n"
    "and when the register cannot record, before the next chip is written (exit 6).\n" +
    std::string(kCardOptions) +
    "  --facility N    facility code (formats with one)\n"
    "  --extra N       the 36-bit format's extra field\n"
    "  --from N        the first card number\n"
    "  --count C       write C cards\n"
    "  --to M          write up to and including number M\n"
    "  --lock          lock every chip after writing\n"
    "  --no-verify     do not read the cards back\n"
    "  --log FILE      append each card to FILE in the station's write-log layout\n"
    "  --cycle MS      look for a chip every MS milliseconds (default 250)\n"
    "  --next-free     take each number from the register: the smallest number from --from\n"
    "                  that no card holds, so stations sharing a register share the series\n"
    "                  (also on with NextFree=1 in the station's settings)\n" +
    std::string(kRegisterOption);

const std::string kRegisterListHelp =
    "usage: lfprog register list [--number N] [--uid TEXT] [--from DATE] [--to DATE]\n"
    "                            [--register R]\n"
    "\n"
    "Lists the cards of the card register, newest first: time (UTC), card, chip and its\n"
    "identification, whether it was written or only reserved (a write that was never\n"
    "confirmed), verified, locked, re-issue, station and operator.\n"
    "  --number N      only cards with number N\n"
    "  --uid TEXT      only chips whose identification contains TEXT\n"
    "  --from DATE     only cards from DATE (YYYY-MM-DD, UTC) on\n"
    "  --to DATE       only cards up to and including DATE\n" +
    std::string(kRegisterOption);

const std::string kRegisterFindHelp =
    "usage: lfprog register find NUMBER [--format F] [--facility N] [--register R]\n"
    "\n"
    "Shows the card(s) carrying NUMBER: the chip and since when. Exit 1 when the register\n"
    "holds no card with the number.\n"
    "  --format F      only cards of format F\n"
    "  --facility N    only cards with facility code N\n" +
    std::string(kRegisterOption);

const std::string kRegisterExportHelp =
    "usage: lfprog register export [FILE|-] [--number N] [--uid TEXT] [--from DATE]\n"
    "                              [--to DATE] [--separator C] [--bom] [--register R]\n"
    "\n"
    "Writes the cards of the register as CSV (a header line, times in UTC) to FILE, or to\n"
    "standard output for - or without FILE. FILE is replaced only once it is complete.\n"
    "The filters are those of 'lfprog register list'.\n"
    "  --separator C   the field separator: , (default) or ; (German spreadsheets)\n"
    "  --bom           start with UTF-8's byte-order mark, so spreadsheets read UTF-8\n" +
    std::string(kRegisterOption);

const std::string kLanConfigHelp =
    "usage: lfprog lan config DEVICE [--address A.B.C.D] [--mask M] [--gateway G] [--name N]\n"
    "\n"
    "Shows a network reader's settings, or changes the ones given (the others stay). DEVICE\n"
    "is its address (a.b.c.d) or its name in brackets ([NAME]).\n";

const std::string kLanPingHelp =
    "usage: lfprog lan ping DEVICE\n"
    "\n"
    "Asks whether the network reader at DEVICE answers.\n";

}  // namespace

const std::vector<CommandInfo>& Commands() {
    static const std::vector<CommandInfo> commands = {
        {"list",
         "list serial lines and USB readers (--lan: network readers too)",
         kListHelp.c_str(),
         {"lan"},
         RunList},
        {"info",
         "show the reader's model, version and serial number",
         kInfoHelp.c_str(),
         {"port", "baud", "timeout"},
         RunInfo},
        {"read",
         "read the card on the reader, once or --watch",
         kReadHelp.c_str(),
         {"port", "baud", "timeout", "format", "chip", "watch", "cycle", "log"},
         RunRead},
        {"write",
         "write one card",
         kWriteHelp.c_str(),
         {"port", "baud", "timeout", "format", "chip", "facility", "number", "extra", "lock",
          "no-verify", "log", "reissue", "register"},
         RunWrite},
        {"series",
         "write a series of cards with consecutive numbers",
         kSeriesHelp.c_str(),
         {"port", "baud", "timeout", "format", "chip", "facility", "extra", "from", "count", "to",
          "lock", "no-verify", "log", "cycle", "register", "next-free"},
         RunSeries},
        {"register list",
         "list the cards of the card register",
         kRegisterListHelp.c_str(),
         {"number", "uid", "from", "to", "register"},
         RunRegisterList},
        {"register find",
         "show the card(s) with a number and since when",
         kRegisterFindHelp.c_str(),
         {"format", "facility", "register"},
         RunRegisterFind,
         true},
        {"register export",
         "write the card register as CSV",
         kRegisterExportHelp.c_str(),
         {"number", "uid", "from", "to", "register", "separator", "bom"},
         RunRegisterExport,
         true},
        {"lan config",
         "show or change a network reader's settings",
         kLanConfigHelp.c_str(),
         {"address", "mask", "gateway", "name"},
         RunLanConfig,
         true},
        {"lan ping",
         "ask whether a network reader answers",
         kLanPingHelp.c_str(),
         {},
         RunLanPing,
         true},
    };
    return commands;
}

std::string OverviewHelp() {
    std::string text =
        "usage: lfprog COMMAND [OPTIONS]\n"
        "\n"
        "Programs and reads 125 kHz access-control transponders from the command line.\n"
        "\n"
        "Commands:\n";
    for (const CommandInfo& command : Commands()) {
        std::string words = command.words;
        words.resize(17, ' ');
        text += "  " + words + command.summary + "\n";
    }
    text += "\n" + std::string(kCommonOptions) +
            "\n"
            "'lfprog COMMAND --help' tells more about a command.\n"
            "\n"
            "Exit codes:\n"
            "  0  success\n"
            "  1  failure: the reader or the card refused, or the card read back differs\n"
            "  2  usage: a bad command line, or a value out of its format's range\n"
            "  3  no reader: it cannot be opened or does not answer\n"
            "  4  no card: no transponder on the reader\n"
            "  5  duplicate: the card register holds the number already\n"
            "  6  register: the card register cannot be opened or cannot record the card\n"
            "  7  blank chip: a chip answers but holds no card in the format asked\n"
            "  8  no free number: a next-free series ended before its count or end value\n";
    return text;
}
