// lfprog's write and series where the register and the chip disagree: a chip written but its
// row not confirmed is a failure with the register's exit code, and a next-free series that
// runs out of numbers says so with its own.
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include "LfprogFixture.h"
#include "cards/CardFormat.h"

using namespace lfprogtest;
using namespace std::chrono_literals;

namespace {

std::string RegisterFile(const QTemporaryDir& dir) {
    return dir.filePath("data/Qor Applikationen/Orvex-FSK/register.sqlite").toStdString();
}

// Runs one statement on the register file beside lfprog, as a database administrator would.
void Execute(const std::string& file, const QString& statement) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "guard-test");
        db.setDatabaseName(QString::fromStdString(file));
        ASSERT_TRUE(db.open());
        QSqlQuery query(db);
        ASSERT_TRUE(query.exec(statement)) << query.lastError().text().toStdString();
    }
    QSqlDatabase::removeDatabase("guard-test");
}

// A register that takes reservations but refuses every confirmation.
const QString kRefuseConfirm = QStringLiteral(
    "CREATE TRIGGER refuse_confirm BEFORE UPDATE OF state ON cards WHEN NEW.state = 'written' "
    "BEGIN SELECT RAISE(ABORT, 'confirmation refused'); END");

QJsonObject RowOf(long long number) {
    const Result listed =
        RunLfprog({"register", "list", "--number", std::to_string(number), "--json"});
    EXPECT_EQ(listed.exit, 0) << listed.err;
    const std::vector<QJsonObject> rows = JsonLines(listed.out);
    EXPECT_EQ(rows.size(), 1u) << listed.out;
    return rows.empty() ? QJsonObject() : rows[0];
}

// A series' end line; notes may follow it.
QJsonObject EndOf(const std::string& text) {
    for (const QJsonObject& object : JsonLines(text)) {
        if (object["event"].toString() == "end") return object;
    }
    ADD_FAILURE() << "no end line in " << text;
    return {};
}

bool AnyLineContains(const std::string& text, const QString& part) {
    for (const QJsonObject& object : JsonLines(text)) {
        for (const QString& key : {QStringLiteral("error"), QStringLiteral("note")}) {
            if (object[key].toString().contains(part)) return true;
        }
    }
    return false;
}

}  // namespace

TEST_F(Lfprog, AWrittenCardTheRegisterCannotConfirmFailsAndANextFreeSeriesSaysWhenItRunsOut) {
    PlaceFresh();
    ASSERT_EQ(Run({"write", "--number", "1"}).exit, 0);
    Execute(RegisterFile(m_dir), kRefuseConfirm);

    // A single write: the chip carries the card, lfprog reports the register's failure.
    PlaceFresh();
    const Result single = Run({"write", "--number", "2"});
    EXPECT_EQ(single.exit, kExitRegister) << single.out << single.err;
    const QString error = Json(Lines(single.out).back())["error"].toString();
    EXPECT_TRUE(error.contains("not confirmed")) << single.out;
    EXPECT_TRUE(error.contains("confirmation refused")) << single.out;
    EXPECT_EQ(CardOnField(), vellf::EncodeCardWord(26, 0, 2, 0));
    EXPECT_EQ(RowOf(2)["state"].toString(), "reserved");

    // A series: the first card is written but not confirmed, so the series ends there with
    // the card named.
    vsim::CardFeeder feeder(Engine());
    ASSERT_TRUE(feeder.Start({9, 3, 20ms}));
    const Result series = Run({"series", "--from", "5", "--count", "3", "--cycle", "20"});
    feeder.Stop();
    EXPECT_EQ(series.exit, kExitRegister) << series.out << series.err;
    const QJsonObject end = EndOf(series.out);
    EXPECT_EQ(end["reason"].toString(), "register failed") << series.out;
    EXPECT_EQ(end["written"].toInteger(), 1);
    EXPECT_EQ(end["next"].toInteger(), 6);
    EXPECT_TRUE(AnyLineContains(series.out, "written but not confirmed")) << series.out;
    EXPECT_EQ(RowOf(5)["state"].toString(), "reserved");

    // Number 5 stays held: a next-free series up to 5 writes 4 and then has no number left.
    Execute(RegisterFile(m_dir), "DROP TRIGGER refuse_confirm");
    ASSERT_TRUE(feeder.Start({9, 2, 20ms}));
    const Result shortSeries =
        Run({"series", "--from", "4", "--to", "5", "--next-free", "--cycle", "20"});
    feeder.Stop();
    EXPECT_EQ(shortSeries.exit, kExitNoFreeNumber) << shortSeries.out << shortSeries.err;
    const QJsonObject shortEnd = EndOf(shortSeries.out);
    EXPECT_EQ(shortEnd["reason"].toString(), "no free number");
    EXPECT_EQ(shortEnd["written"].toInteger(), 1);
    EXPECT_TRUE(shortEnd["error"].toString().contains("1 of 2 cards written")) << shortSeries.out;
}
