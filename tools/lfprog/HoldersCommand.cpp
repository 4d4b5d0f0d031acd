// lfprog holders list, and register export --valid|--blocked: the people in the register and
// the two lists an access-control system takes (the valid cards with their holders, the
// numbers to block).
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>
#include <functional>

#include "Commands.h"
#include "RegisterOutput.h"
#include "station/register/Holders.h"

using namespace station;

namespace {

std::string UnreadableText(const CCardRegister& cardRegister) {
    return "the card register (" + cardRegister.Where().toStdString() +
           ") cannot be read: " + cardRegister.LastError().toStdString();
}

int Unreadable(const COutput& out, const CCardRegister& cardRegister) {
    return out.Fail(kExitRegister, UnreadableText(cardRegister));
}

// Writes through write (which gives the register's failure, empty when none) to target,
// standard output for "-"; a file is replaced only once it is complete, so that an earlier
// list is never left cut off half way.
int WriteTarget(const COutput& out, const std::string& target,
                const std::function<std::string(QTextStream&)>& write) {
    if (target == "-") {
        QFile standardOutput;
        if (!standardOutput.open(stdout, QIODevice::WriteOnly))
            return out.Fail(kExitFailure, "standard output cannot be written");
        QTextStream stream(&standardOutput);
        if (const std::string failure = write(stream); !failure.empty())
            return out.Fail(kExitRegister, failure);
        stream.flush();
        return stream.status() == QTextStream::Ok
                   ? kExitSuccess
                   : out.Fail(kExitFailure, "standard output cannot be written");
    }
    const QString path = QFileInfo(QString::fromStdString(target)).absoluteFilePath();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return out.Fail(kExitFailure,
                        target + " cannot be written: " + file.errorString().toStdString());
    QTextStream stream(&file);
    if (const std::string failure = write(stream); !failure.empty()) {
        file.cancelWriting();
        return out.Fail(kExitRegister, failure);
    }
    stream.flush();
    if (stream.status() != QTextStream::Ok || !file.commit())
        return out.Fail(kExitFailure,
                        target + " cannot be written: " + file.errorString().toStdString());
    CJson object;
    object.Add("file", path.toStdString());
    out.Print(object, "exported to " + path.toStdString());
    return kExitSuccess;
}

}  // namespace

int RunAccessExport(CommandContext& context, const CsvOptions& csv) {
    const COutput& out = context.out;
    const bool valid = context.line.Has("valid");
    if (valid == context.line.Has("blocked"))
        return out.Fail(kExitUsage, "register export takes one of --valid and --blocked");
    for (const char* filter : {"number", "uid", "from", "to"}) {
        if (context.line.Has(filter))
            return out.Fail(kExitUsage,
                            std::string("--") + filter + " does not go with --valid or --blocked");
    }
    std::unique_ptr<CCardRegister> cardRegister;
    if (const int status = OpenReadableRegister(context.line, out, cardRegister)) return status;
    if (!cardRegister)
        return out.Fail(kExitRegister, "the card register does not exist yet: no list to export");
    auto write = [&](QTextStream& stream) {
        const bool written = valid ? cardRegister->WriteValidCardsCsv(stream, csv)
                                   : cardRegister->WriteBlockListCsv(stream, csv);
        return written ? std::string() : UnreadableText(*cardRegister);
    };
    const std::string target = context.operands.empty() ? "-" : context.operands[0];
    return WriteTarget(out, target, write);
}

int RunHoldersList(CommandContext& context) {
    const COutput& out = context.out;
    if (!context.operands.empty()) return out.Fail(kExitUsage, "holders list takes no operands");
    HolderFilter filter;
    filter.withoutValidCard = context.line.Has("without-card");
    filter.everyValidCard = true;
    filter.department = QString::fromStdString(context.line.Value("department").value_or(""));
    std::unique_ptr<CCardRegister> cardRegister;
    if (const int status = OpenReadableRegister(context.line, out, cardRegister)) return status;
    if (!cardRegister) return kExitSuccess;
    const auto holders = cardRegister->Holders(filter);
    if (!holders) return Unreadable(out, *cardRegister);
    for (const Holder& holder : *holders) {
        CJson object;
        object.Add("id", static_cast<long long>(holder.id))
            .Add("personnel_number", holder.personnelNumber.toStdString())
            .Add("name", holder.name.toStdString())
            .Add("department", holder.department.toStdString());
        std::string text = holder.personnelNumber.toStdString() + "  " + holder.name.toStdString();
        if (!holder.department.isEmpty()) text += "  (" + holder.department.toStdString() + ")";
        if (holder.validCard) {
            const RegisterEntry& card = *holder.validCard;
            object.Add("card_id", static_cast<long long>(card.id))
                .Add("card_number", static_cast<long long>(card.fields.number))
                .Add("card_facility", card.fields.facility)
                .Add("card_state", StateText(card.state).toStdString());
        } else {
            object.AddNull("card_id");
            text += "  no card";
        }
        // A second valid card shows here, not only in the access-control export.
        object.Add("valid_cards", static_cast<long long>(holder.validCards.size()));
        std::string ids;
        for (const RegisterEntry& card : holder.validCards) {
            ids += (ids.empty() ? "" : ",") + std::to_string(card.id);
            text += "  card " + std::to_string(card.fields.number) + " facility " +
                    std::to_string(card.fields.facility) + " (" +
                    StateText(card.state).toStdString() + ")";
        }
        object.Add("valid_card_ids", ids);
        out.Print(object, text);
    }
    return kExitSuccess;
}
