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
    "                  ~/.pgpass or PGPASSWORD), with ?sslmode=verify-full&sslrootcert=FILE\n"
    "                  for TLS; default: the station's settings, else the\n"
    "                  file register.sqlite in ~/.local/share/Qor Applikationen/Orvex-FSK\n";

const std::string kListHelp =
    "usage: lfprog list [--lan] [--json]\n"
    "\n"
    "Lists the serial lines and the USB readers, one per line, with the name to give --port.\n"
    "  --lan           also search the local networks for network readers (this broadcasts\n"
    "                  on every network adapter)\n";

const std::string kInfoHelp =
    "usage: lfprog info --port NAME [--baud N] [--timeout MS] [--json]\n"
    "\n"
    "Opens the reader and shows its model, version reply, serial number and the SDK version.\n";

const std::string kReadHelp =
    "usage: lfprog read --port NAME [--baud N] [--timeout MS] [--format F] [--chip C]\n"
    "                   [--watch [--cycle MS]] [--log FILE]\n"
    "\n"
    "Reads the card on the reader and prints its fields and the chip identification. With\n"
    "--watch it reads every --cycle milliseconds (default 250) and prints each new card once,\n"
    "until Ctrl-C.\n" +
    std::string(kCardOptions) +
    "  --log FILE      append each card read to FILE in the station's read-log layout\n";

const std::string kWriteHelp =
    "usage: lfprog write --port NAME [--baud N] [--timeout MS] [--chip C] [--format F]\n"
    "                    [--facility N] --number N [--extra N] [--lock] [--no-verify]\n"
    "                    [--log FILE] [--reissue [--reason TEXT]] [--overwrite]\n"
    "                    [--register R]\n"
    "\n"
    "Writes one card onto the transponder on the reader and reads it back to verify it.\n"
    "Every value is checked against the format before anything is sent to the reader. The\n"
    "card is recorded in the card register; a number the register holds already is refused\n"
    "(exit 5, naming the earlier card) unless --reissue writes it as a replacement card. A\n"
    "chip that carries a valid card of the register is not written over (exit 5, naming that\n"
    "card) unless --overwrite says so. A register that cannot record the card stops the\n"
    "write before the chip is touched (exit 6); a card written whose row the register cannot\n"
    "confirm is reported as written but not confirmed (exit 6).\n" +
    std::string(kCardOptions) +
    "  --facility N    facility code (formats with one)\n"
    "  --number N      card number\n"
    "  --extra N       the 36-bit format's extra field\n"
    "  --lock          lock the chip after writing; it can never be written again\n"
    "  --no-verify     do not read the card back\n"
    "  --log FILE      append the card to FILE in the station's write-log layout\n"
    "  --reissue       write a number the register holds already again, recorded as a\n"
    "                  re-issue (a replacement for a lost or broken card); the earlier card\n"
    "                  counts as replaced. A number another station is still writing (only\n"
    "                  reserved) is refused, naming that station\n"
    "  --reason TEXT   why the card is re-issued, kept in the register's history\n"
    "  --overwrite     write over a chip that carries a valid card of the register; that\n"
    "                  card counts as replaced by the new one\n" +
    std::string(kRegisterOption);

const std::string kSeriesHelp =
    "usage: lfprog series --port NAME [--baud N] [--timeout MS] [--chip C] [--format F]\n"
    "                     [--facility N] [--extra N]\n"
    "                     --from N (--count C | --to M) [--lock] [--no-verify] [--log FILE]\n"
    "                     [--cycle MS] [--register R] [--next-free]\n"
    "       lfprog series --holders-without-card [--department D] --from N [--count C | --to M]\n"
    "                     ... (the same reader, card and register options)\n"
    "\n"
    "Writes a series of cards with consecutive numbers: waits for each new chip on the reader,\n"
    "writes it with the next number, verifies it, and prints a line per card and a progress\n"
    "line. A chip left on the reader is written once; taken away for more than two seconds,\n"
    "the same chip counts as new again. The series ends after C cards, after the card with\n"
    "number M, or before a number the format cannot hold. Ctrl-C ends it after the current\n"
    "card and prints the next number to use. It says when the reader stops answering and when\n"
    "it answers again. Every card is recorded in the card register: the series stops at a\n"
    "number the register holds already (exit 5, naming the earlier card), and when the\n"
    "register cannot record, before the next chip is written (exit 6).\n" +
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
    "                  (also on with NextFree=1 in the station's settings)\n"
    "  --holders-without-card\n"
    "                  a card for each holder of the register's holder list who has no valid\n"
    "                  card, in the list's order, each with the next free number from N; the\n"
    "                  name of the person whose chip comes next is printed. A card that fails\n"
    "                  or does not verify keeps its holder for the next chip; a holder another\n"
    "                  station served meanwhile is passed over. The series ends when every\n"
    "                  holder has a card; run again, it goes on with those still without one\n"
    "  --department D  only the holders of department D\n" +
    std::string(kRegisterOption);

const std::string kIssueHelp =
    "usage: lfprog issue --holder PNR --port NAME [--baud N] [--timeout MS] [--chip C]\n"
    "                    [--format F] [--facility N] [--extra N] --from N [--lock]\n"
    "                    [--no-verify] [--log FILE] [--replace REASON | --second]\n"
    "                    [--register R]\n"
    "\n"
    "Writes a card for the holder with personnel number PNR: the register's next free number\n"
    "from N, linked to the holder in the register. A holder who has a valid card already is\n"
    "refused (exit 5, naming the card) unless --replace or --second says what the new card\n"
    "is; a holder who has left is refused (exit 1). The holder's card lends its format and\n"
    "facility code where --format and --facility are not given. The holder's personnel\n"
    "number and name are printed, never written to the log.\n" +
    std::string(kCardOptions) +
    "  --holder PNR    the holder's personnel number\n"
    "  --from N        the first number the next free number is looked for from\n"
    "  --replace TEXT  the new card replaces the holder's valid card, for this reason\n"
    "  --second        the new card is a second card; the first stays valid\n"
    "  --lock, --no-verify, --log FILE, --facility N, --extra N: as for write\n" +
    std::string(kRegisterOption);

const std::string kLostHelp =
    "usage: lfprog lost --holder PNR --port NAME [--baud N] [--timeout MS] [--chip C]\n"
    "                   [--format F] [--facility N] [--extra N] --from N [--lock]\n"
    "                   [--no-verify] [--log FILE] [--register R]\n"
    "\n"
    "The holder's card was lost: revokes the holder's valid card (reason lost, recorded in its\n"
    "history) and writes the replacement with the register's next free number from N, in the\n"
    "lost card's format and facility code unless --format or --facility say otherwise. When\n"
    "the replacement cannot be written, the lost card stays revoked and the command says so\n"
    "(with the write's exit code); 'lfprog issue --holder PNR' writes the replacement later.\n"
    "Exit 1 when the holder has no valid card.\n" +
    std::string(kCardOptions) +
    "  --holder PNR    the holder's personnel number\n"
    "  --from N        the first number the next free number is looked for from\n"
    "  --lock, --no-verify, --log FILE, --facility N, --extra N: as for write\n" +
    std::string(kRegisterOption);

const std::string kRegisterListHelp =
    "usage: lfprog register list [--number N] [--uid TEXT] [--from DATE] [--to DATE]\n"
    "                            [--register R]\n"
    "\n"
    "Lists the cards of the card register, newest first: time (UTC), card, chip and its\n"
    "identification, its state (written, unverified, replaced, revoked with its reason, or\n"
    "reserved: a write that was never confirmed), verified, locked, re-issue, station and\n"
    "operator.\n"
    "  --number N      only cards with number N\n"
    "  --uid TEXT      only chips whose identification contains TEXT\n"
    "  --from DATE     only cards from DATE (YYYY-MM-DD, UTC) on\n"
    "  --to DATE       only cards up to and including DATE\n" +
    std::string(kRegisterOption);

const std::string kCardQueryOptions =
    "  --format F      only cards of format F (26 and 26-huge, 37 and 37-huge put the same\n"
    "                  card on the chip and count as one card)\n"
    "  --facility N    only cards with facility code N\n";

const std::string kRegisterFindHelp =
    "usage: lfprog register find NUMBER [--format F] [--facility N] [--register R]\n"
    "\n"
    "Shows which chip is valid for NUMBER: the valid card (written or unverified) and since\n"
    "when, and below it the cards it replaced and any revoked or unconfirmed one, newest\n"
    "first. Exit 1 when the register holds no card with the number.\n" +
    kCardQueryOptions + std::string(kRegisterOption);

const std::string kRegisterWhereHelp =
    "usage: lfprog register where [--register R]\n"
    "\n"
    "Shows the register that write, series and the register commands use: its SQLite file,\n"
    "or the PostgreSQL server and database, or that it is switched off.\n" +
    std::string(kRegisterOption);

const std::string kRegisterHistoryHelp =
    "usage: lfprog register history NUMBER [--format F] [--facility N] [--register R]\n"
    "\n"
    "Lists every change of the card, oldest first: reserved, written, verified, unverified,\n"
    "re-issued, replaced, revoked, released, resolved, each with its time (UTC), station,\n"
    "operator and reason. The history is only ever added to. Exit 1 when the register holds\n"
    "no card with the number, exit 2 when several do and --format or --facility must say\n"
    "which.\n" +
    kCardQueryOptions + std::string(kRegisterOption);

const std::string kRegisterRevokeHelp =
    "usage: lfprog register revoke NUMBER [--format F] [--facility N]\n"
    "                              --reason lost|stolen|returned|destroyed [--register R]\n"
    "\n"
    "Revokes the valid card with NUMBER: it is no longer valid, and its number is never\n"
    "handed out again by the next free number; only a deliberate re-issue (write --reissue)\n"
    "writes it again. Exit 1 when there is no such card or it is not valid (the message says\n"
    "why), exit 2 when several cards carry the number.\n" +
    kCardQueryOptions +
    "  --reason R      lost, stolen, returned or destroyed\n" + std::string(kRegisterOption);

const std::string kRegisterResolveHelp =
    "usage: lfprog register resolve NUMBER [--format F] [--facility N]\n"
    "                               (--read --port NAME | --release [--chip-checked] |\n"
    "                               --destroyed) [--register R]\n"
    "\n"
    "Settles a card whose write was never confirmed (reserved, not confirmed) or did not\n"
    "check (unverified), for example after a station was ended during a write:\n"
    "  --read          lay the chip on the reader: it is read back in the card's format and,\n"
    "                  when it carries the card, the card counts as written with that chip's\n"
    "                  identification\n"
    "  --release       no chip carries the number: the row goes and the number is free again\n"
    "                  (the history keeps it). An unverified card's write went out, so its\n"
    "                  chip may carry it: released only with --chip-checked (the chip was\n"
    "                  read and does not carry the card, or is gone); else use --read or\n"
    "                  --destroyed\n"
    "  --destroyed     the chip is destroyed: the card counts as revoked, the number stays held\n" +
    kCardQueryOptions + std::string(kRegisterOption);

const std::string kRegisterExportHelp =
    "usage: lfprog register export [FILE|-] [--number N] [--uid TEXT] [--from DATE]\n"
    "                              [--to DATE] [--separator C] [--bom] [--register R]\n"
    "       lfprog register export [FILE|-] --valid|--blocked [--separator C] [--bom]\n"
    "                              [--register R]\n"
    "\n"
    "Writes the cards of the register as CSV (a header line, times in UTC) to FILE, or to\n"
    "standard output for - or without FILE. FILE is replaced only once it is complete.\n"
    "The filters are those of 'lfprog register list'.\n"
    "  --separator C   the field separator: , (default) or ; (German spreadsheets)\n"
    "  --bom           start with UTF-8's byte-order mark, so spreadsheets read UTF-8\n"
    "  --valid         instead, the valid cards for an access-control system: personnel\n"
    "                  number, name and department of the holder (empty for none), format,\n"
    "                  facility, number, valid since\n"
    "  --blocked       instead, the block list: format, facility, number, revoked since and\n"
    "                  reason of each revoked card whose number no valid card carries again\n" +
    std::string(kRegisterOption);

const std::string kHoldersListHelp =
    "usage: lfprog holders list [--without-card] [--department D] [--register R] [--json]\n"
    "\n"
    "Lists the card holders still here, in the order of the holder list, each with the valid\n"
    "card the register holds for them.\n"
    "  --without-card  only holders with no card (written, unverified or reserved)\n"
    "  --department D  only holders of department D (exactly as written)\n" +
    std::string(kRegisterOption);

const std::string kRegisterBackupHelp =
    "usage: lfprog register backup FILE [--force] [--register R]\n"
    "\n"
    "Copies an SQLite register to FILE while stations go on writing into it: one consistent\n"
    "snapshot, the rows still in its write-ahead log included (copying register.sqlite alone\n"
    "is no backup). The copy is a register of its own, readable only by its owner; give it\n"
    "to --register to look into it, or put it in the register's place (the stations ended)\n"
    "to restore it. A PostgreSQL register is backed up on its server with pg_dump (exit 2).\n"
    "  --force         replace FILE when it exists (only once the copy is complete)\n" +
    std::string(kRegisterOption);

const std::string kRegisterImportHelp =
    "usage: lfprog register import FILE [--register R]\n"
    "\n"
    "Adds the cards of FILE to the register: a CSV file as 'lfprog register export' writes it\n"
    "(, or ; between the fields), or another station's SQLite register (only read, never\n"
    "changed), for example to move a site's stations onto one PostgreSQL register. Times,\n"
    "stations, operators, states, re-issue links and the history are kept. A card whose\n"
    "number the register holds already is left out and listed, never doubled, so importing a\n"
    "file twice changes nothing. A line that does not read is reported with its number and\n"
    "nothing is imported (exit 1). Exit 5 when every card of FILE was there already. Other\n"
    "stations wait while the import runs.\n" +
    std::string(kRegisterOption);

const std::string kHoldersImportHelp =
    "usage: lfprog holders import FILE [--separator C] [--encoding E] [--map COLUMN=FIELD]...\n"
    "                              [--dry-run] [--mark-left] [--register R]\n"
    "\n"
    "Imports the personnel department's holder list (CSV with a header line) into the\n"
    "register: a holder whose personnel number is new is added, one whose name, department\n"
    "or notes differ is changed. The columns are found by their header (Personalnummer,\n"
    "Personnel number, PNR; Name, or Vorname and Nachname / First name and Last name;\n"
    "Abteilung, Department; Bemerkung, Notes). A line that cannot be read, without personnel\n"
    "number or name, or with a personnel number an earlier line has, is reported by its line\n"
    "number and refuses the whole import: nothing is stored (exit 1).\n"
    "  --separator C   ; , or tab (default: found in the header line)\n"
    "  --encoding E    utf-8 or windows-1252 (default: UTF-8 when the file is valid UTF-8)\n"
    "  --map COLUMN=FIELD  feed FIELD from COLUMN (its header or its number from 1); FIELD is\n"
    "                  personnel-number, name, first-name, last-name, department, notes, or\n"
    "                  ignore; give it once per column\n"
    "  --dry-run       show what the import would add, change, mark as left and refuse\n"
    "  --mark-left     holders the list does not name are marked as left\n" +
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
          "no-verify", "log", "reissue", "reason", "overwrite", "register"},
         RunWrite},
        {"series",
         "write a series of cards with consecutive numbers",
         kSeriesHelp.c_str(),
         {"port", "baud", "timeout", "format", "chip", "facility", "extra", "from", "count", "to",
          "lock", "no-verify", "log", "cycle", "register", "next-free", "holders-without-card",
          "department"},
         RunSeries},
        {"issue",
         "write the next free card for one holder",
         kIssueHelp.c_str(),
         {"port", "baud", "timeout", "format", "chip", "facility", "extra", "from", "lock",
          "no-verify", "log", "holder", "replace", "second", "register"},
         RunIssue},
        {"lost",
         "revoke a holder's lost card and write its replacement",
         kLostHelp.c_str(),
         {"port", "baud", "timeout", "format", "chip", "facility", "extra", "from", "lock",
          "no-verify", "log", "holder", "register"},
         RunLost},
        {"register list",
         "list the cards of the card register",
         kRegisterListHelp.c_str(),
         {"number", "uid", "from", "to", "register"},
         RunRegisterList},
        {"register find",
         "show the valid card with a number, and the cards it replaced",
         kRegisterFindHelp.c_str(),
         {"format", "facility", "register"},
         RunRegisterFind,
         true},
        {"register history",
         "list every change of a card",
         kRegisterHistoryHelp.c_str(),
         {"format", "facility", "register"},
         RunRegisterHistory,
         true},
        {"register revoke",
         "revoke a card: lost, stolen, returned or destroyed",
         kRegisterRevokeHelp.c_str(),
         {"format", "facility", "reason", "register"},
         RunRegisterRevoke,
         true},
        {"register resolve",
         "settle a card whose write was never confirmed",
         kRegisterResolveHelp.c_str(),
         {"port", "baud", "timeout", "format", "facility", "read", "release", "destroyed",
          "chip-checked", "register"},
         RunRegisterResolve,
         true},
        {"register where",
         "show which register lfprog records into",
         kRegisterWhereHelp.c_str(),
         {"register"},
         RunRegisterWhere},
        {"register export",
         "write the card register as CSV",
         kRegisterExportHelp.c_str(),
         {"number", "uid", "from", "to", "register", "separator", "bom", "valid", "blocked"},
         RunRegisterExport,
         true},
        {"register backup",
         "copy an SQLite register while stations use it",
         kRegisterBackupHelp.c_str(),
         {"register", "force"},
         RunRegisterBackup,
         true},
        {"holders list",
         "list the card holders and their cards",
         kHoldersListHelp.c_str(),
         {"without-card", "department", "register"},
         RunHoldersList},
        {"register import",
         "add the cards of a CSV export or an SQLite register",
         kRegisterImportHelp.c_str(),
         {"register"},
         RunRegisterImport,
         true},
        {"holders import",
         "import the personnel department's holder list",
         kHoldersImportHelp.c_str(),
         {"separator", "encoding", "map", "dry-run", "mark-left", "register"},
         RunHoldersImport,
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
            "  5  duplicate: the card register holds the number already (import: every card)\n"
            "  6  register: the card register cannot be opened or cannot record the card\n"
            "  7  blank chip: a chip answers but holds no card in the format asked\n"
            "  8  no free number: a next-free series ended before its count or end value\n";
    return text;
}
