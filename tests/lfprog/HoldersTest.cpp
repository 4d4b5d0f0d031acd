// lfprog holders list and the access-control exports (register export --valid|--blocked)
// against a register whose holders and cards the test made through the station library:
// after a lost card and its replacement both lists agree with the register; people marked as
// left by an import leave the valid list for the block list, and every valid card of a holder
// is listed.
#include <QFile>

#include "LfprogFixture.h"
#include "station/register/Holders.h"

using namespace lfprogtest;
using namespace station;

namespace {

std::int64_t Written(CCardRegister& cardRegister, std::int64_t number, std::int64_t holder) {
    CardRecord card;
    card.chipType = 9;
    card.fields.facility = 12;
    card.fields.number = number;
    card.holder = holder;
    std::int64_t rowId = 0;
    std::optional<RegisterEntry> earlier;
    EXPECT_EQ(cardRegister.Reserve(card, false, rowId, earlier), ReserveResult::Reserved)
        << cardRegister.LastError().toStdString();
    EXPECT_TRUE(cardRegister.Confirm(rowId, true, QString()));
    return rowId;
}

}  // namespace

TEST_F(Lfprog, HoldersListAndTheAccessListsFollowALostCard) {
    const std::string file = ScratchPath("register.sqlite");
    RegisterSettings settings;
    settings.file = QString::fromStdString(file);
    CCardRegister cardRegister(settings, QStringLiteral("test"));
    std::vector<std::int64_t> ids;
    for (const char* number : {"1001", "1002", "1003"}) {
        Holder holder;
        holder.personnelNumber = number;
        holder.name = QStringLiteral("Holder ") + number;
        holder.department = number == std::string("1002") ? "Office" : "Lab";
        ASSERT_TRUE(cardRegister.SaveHolder(holder)) << cardRegister.LastError().toStdString();
        ids.push_back(holder.id);
    }
    const std::int64_t lost = Written(cardRegister, 10, ids[0]);
    Written(cardRegister, 11, ids[1]);
    // 1001 loses the card: revoked, and the next free number written for them.
    ASSERT_TRUE(cardRegister.Revoke(lost, RevokeReason::Lost));
    CardRecord next;
    next.chipType = 9;
    next.fields.facility = 12;
    next.holder = ids[0];
    next.holderMustBeWithoutCard = true;
    std::int64_t rowId = 0;
    ASSERT_EQ(cardRegister.ReserveNextFree(next, false, 10, 100, rowId), ReserveResult::Reserved);
    ASSERT_TRUE(cardRegister.Confirm(rowId, true, QString()));
    ASSERT_EQ(next.fields.number, 12);

    const Result listed = RunLfprog({"holders", "list", "--json", "--register", file});
    ASSERT_EQ(listed.exit, 0) << listed.err;
    const std::vector<QJsonObject> holders = JsonLines(listed.out);
    ASSERT_EQ(holders.size(), 3u);
    EXPECT_EQ(holders[0]["personnel_number"].toString(), "1001");
    EXPECT_EQ(holders[0]["card_number"].toInteger(), 12);
    EXPECT_EQ(holders[1]["card_number"].toInteger(), 11);
    EXPECT_TRUE(holders[2]["card_id"].isNull());
    struct Case {
        std::vector<std::string> options;
        std::string expected;  // personnel numbers
    };
    for (const Case& c :
         {Case{{"--without-card"}, "1003"}, Case{{"--department", "Lab"}, "1001 1003"}}) {
        std::vector<std::string> args = {"holders", "list", "--json", "--register", file};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const Result result = RunLfprog(args);
        ASSERT_EQ(result.exit, 0) << result.err;
        std::string numbers;
        for (const QJsonObject& row : JsonLines(result.out))
            numbers +=
                (numbers.empty() ? "" : " ") + row["personnel_number"].toString().toStdString();
        EXPECT_EQ(numbers, c.expected) << c.options[0];
    }

    // The valid cards name their holders; the lost number is blocked, the new one is not.
    const Result valid = RunLfprog({"register", "export", "--valid", "--register", file});
    ASSERT_EQ(valid.exit, 0) << valid.err;
    const std::vector<std::string> lines = Lines(valid.out);
    ASSERT_EQ(lines.size(), 3u) << valid.out;
    EXPECT_EQ(lines[1].rfind("1002,Holder 1002,Office,26,12,11,", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2].rfind("1001,Holder 1001,Lab,26,12,12,", 0), 0u) << lines[2];
    const std::string blockFile = ScratchPath("blocked.csv");
    const Result blocked = RunLfprog(
        {"register", "export", blockFile, "--blocked", "--separator", ";", "--register", file});
    ASSERT_EQ(blocked.exit, 0) << blocked.err;
    const std::vector<std::string> blockLines = Lines(ReadFile(blockFile));
    ASSERT_EQ(blockLines.size(), 2u);
    EXPECT_EQ(blockLines[0], "format;facility;number;revoked_since;reason\r");
    EXPECT_EQ(blockLines[1].rfind("26;12;10;", 0), 0u) << blockLines[1];
    EXPECT_NE(blockLines[1].find(";lost\r"), std::string::npos) << blockLines[1];

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"register", "export", "--valid", "--blocked"},
          std::vector<std::string>{"register", "export", "--valid", "--number", "4"}}) {
        std::vector<std::string> withRegister = args;
        withRegister.insert(withRegister.end(), {"--register", file});
        EXPECT_EQ(RunLfprog(withRegister).exit, kExitUsage) << args.back();
    }
}

TEST_F(Lfprog, PeopleWhoLeftMoveFromTheValidListToTheBlockList) {
    const std::string file = ScratchPath("register.sqlite");
    RegisterSettings settings;
    settings.file = QString::fromStdString(file);
    CCardRegister cardRegister(settings, QStringLiteral("test"));
    std::vector<std::int64_t> ids;
    for (const char* number : {"1001", "1002"}) {
        Holder holder;
        holder.personnelNumber = number;
        holder.name = QStringLiteral("Holder ") + number;
        ASSERT_TRUE(cardRegister.SaveHolder(holder)) << cardRegister.LastError().toStdString();
        ids.push_back(holder.id);
    }
    Written(cardRegister, 10, ids[0]);
    Written(cardRegister, 20, ids[1]);
    Written(cardRegister, 21, ids[1]);  // a second card

    const Result listed = RunLfprog({"holders", "list", "--json", "--register", file});
    ASSERT_EQ(listed.exit, 0) << listed.err;
    const std::vector<QJsonObject> holders = JsonLines(listed.out);
    ASSERT_EQ(holders.size(), 2u);
    EXPECT_EQ(holders[1]["valid_cards"].toInteger(), 2);
    const Result text = RunLfprog({"holders", "list", "--register", file});
    EXPECT_NE(text.out.find("card 21 facility 12 (written)  card 20 facility 12 (written)"),
              std::string::npos)
        << text.out;

    const std::string list = ScratchPath("staff.csv");
    {
        QFile out(QString::fromStdString(list));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("Personalnummer;Name\n1001;Holder 1001\n");
    }
    for (const bool dryRun : {true, false}) {
        SCOPED_TRACE(dryRun);
        std::vector<std::string> args = {"holders", "import",   list,
                                         "--mark-left", "--json", "--register", file};
        if (dryRun) args.push_back("--dry-run");
        const Result imported = RunLfprog(args);
        ASSERT_EQ(imported.exit, 0) << imported.err << imported.out;
        bool shown = false;
        for (const QJsonObject& line : JsonLines(imported.out)) {
            if (!line.contains("left") || line.contains("stored")) continue;
            EXPECT_EQ(line["left"].toString(), "1002");
            EXPECT_EQ(line["valid_cards"].toInteger(), 2);
            shown = true;
        }
        EXPECT_TRUE(shown) << imported.out;
    }
    const Result valid = RunLfprog({"register", "export", "--valid", "--register", file});
    ASSERT_EQ(valid.exit, 0) << valid.err;
    EXPECT_EQ(Lines(valid.out).size(), 2u) << valid.out;
    const Result blocked = RunLfprog({"register", "export", "--blocked", "--register", file});
    ASSERT_EQ(blocked.exit, 0) << blocked.err;
    const std::vector<std::string> lines = Lines(blocked.out);
    ASSERT_EQ(lines.size(), 3u) << blocked.out;
    EXPECT_EQ(lines[1].rfind("26,12,20,", 0), 0u) << lines[1];
    EXPECT_NE(lines[2].find(",holder left"), std::string::npos) << lines[2];
}
