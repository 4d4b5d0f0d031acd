// A station in a process of its own, for a test that kills it with SIGKILL in the middle of
// its work: it reserves the next free number of a range in the SQLite register the first
// argument names and confirms it, again and again, and tells each step on standard output as
// soon as it returned ("R <row>" reserved, "C <row>" confirmed), so the test knows what it
// committed, up to the one step it was killed in.
//   register_writer_process FILE FIRST LAST
#include <unistd.h>

#include <QCoreApplication>
#include <cstdlib>
#include <string>

#include "station/register/CardRegister.h"

namespace {

void Tell(char step, std::int64_t row) {
    const std::string line = std::string(1, step) + ' ' + std::to_string(row) + '\n';
    (void)!::write(STDOUT_FILENO, line.data(), line.size());
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 4) return 2;
    station::RegisterSettings settings;
    settings.file = QString::fromLocal8Bit(argv[1]);
    const std::int64_t first = std::atoll(argv[2]);
    const std::int64_t last = std::atoll(argv[3]);
    station::CCardRegister cardRegister(settings, QStringLiteral("writer"));
    // Bounded: the test kills it long before; a register that fills up ends it too.
    for (int round = 0; round < 100000; ++round) {
        station::CardRecord card;
        card.chipType = 9;
        card.fields.facility = 12;
        std::int64_t rowId = 0;
        if (cardRegister.ReserveNextFree(card, false, first, last, rowId) !=
            station::ReserveResult::Reserved)
            return 1;
        Tell('R', rowId);
        if (!cardRegister.Confirm(rowId, true, QStringLiteral("W%1").arg(rowId))) return 1;
        Tell('C', rowId);
    }
    return 0;
}
