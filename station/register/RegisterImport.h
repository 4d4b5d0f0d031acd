// Cards brought into a register from elsewhere: the register's own CSV export or another
// station's SQLite register, for a site that moves its stations' files onto one server. A card
// (every row of one number) goes in whole with its times, stations, operators, states, links,
// holder and history, or, when the register holds that number already, not at all: it is
// listed and never doubled, so importing the same file twice changes nothing. A card's holder
// is matched by personnel number (added when the register has none of that number), so that a
// series over people afterwards sees who has a card. The import is one transaction: a file
// that does not read imports nothing.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

#include "station/register/CardKey.h"
#include "station/register/CardRegister.h"
#include "station/register/Holders.h"

namespace station {

// A row as the source holds it: id, replaces and replacedBy are the source's row ids.
struct ImportRow {
    RegisterEntry entry;
    CardKey key;
    int line = 0;  // the CSV line it starts on; 0 for a register file
    // The holder's personnel number (a CSV file's column); empty: entry.holder names the
    // source's holder row, or nobody.
    QString personnelNumber;
};

// An event of the source's history; cardId is the source's row id.
struct ImportEvent {
    RegisterEvent event;
    CardKey key;
};

struct ImportSource {
    std::vector<ImportRow> rows;
    // The source's history. Without one (a CSV export) each imported row begins its history
    // with one event of its state, at its time, marked as imported.
    bool withHistory = false;
    std::vector<ImportEvent> events;
    // A register file's holders (their ids the source's); a CSV file names them by number.
    std::vector<Holder> holders;
};

// A line of a CSV file that does not read, and why.
struct ImportProblem {
    int line = 0;
    QString text;
};

struct ImportReport {
    std::int64_t added = 0;               // rows added
    std::int64_t holdersAdded = 0;        // holders the register did not have
    std::vector<ImportRow> alreadyThere;  // rows of numbers the register held before
};

// The register's CSV export as written by WriteRegisterCsv: ',' or ';' between the fields,
// UTF-8 with or without byte-order mark, spreadsheet-marked cells read back as written. A
// format or chip this program does not know is kept as its text. False with every line that
// does not read (the header counts as line 1); source then holds nothing to import.
bool ReadImportCsv(const QByteArray& bytes, ImportSource& source,
                   std::vector<ImportProblem>& problems);

// A register file of any schema version this program opens, with its history. The file is
// only read: a private copy is brought up to the current schema and read. False with error
// when it is no register, one of a newer program, or cannot be read.
bool ReadImportRegisterFile(const QString& file, ImportSource& source, QString& error);

// Contradictions between rows that no register may hold: an id twice, a key with two live
// cards (reserved, written or unverified, re-issue or not), a row issued twice in place of
// one, a re-issue of a row replaced already, a link to a row of another card. Each names its
// line (or, for a register file, its row id).
void CheckImportRows(const std::vector<ImportRow>& rows, std::vector<ImportProblem>& problems);

// A row's card in messages: "26 4711 (facility 12)", "48-corp 4711".
QString ImportedCardName(const RegisterEntry& entry);

// Whether the file begins as an SQLite database does.
bool IsSqliteFile(const QString& file);

}  // namespace station
