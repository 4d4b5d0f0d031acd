// lfprog register backup: a copy taken while a series writes into the register holds every
// card confirmed before it, agrees with the register at that moment and opens as a register
// of its own; what it refuses leaves every file as it was.
#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUuid>

#include "LfprogFixture.h"

using namespace lfprogtest;
using namespace std::chrono_literals;

namespace {

// The register's rows as lfprog lists them, by row id.
std::map<long long, QJsonObject> RowsById(const std::string& registerFile) {
    const Result listed = RunLfprog({"register", "list", "--json", "--register", registerFile});
    EXPECT_EQ(listed.exit, 0) << listed.err;
    std::map<long long, QJsonObject> rows;
    for (const QJsonObject& row : JsonLines(listed.out)) rows[row["id"].toInteger()] = row;
    return rows;
}

unsigned FileMode(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

// The names in the folder, for "nothing was left behind".
QStringList FolderNames(const QTemporaryDir& dir) {
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

}  // namespace

TEST_F(Lfprog, ABackupWhileASeriesWritesHoldsEveryCardConfirmedBeforeIt) {
    constexpr int kCards = 25;
    const std::string registerFile = ScratchPath("register.sqlite");
    const std::string copy = ScratchPath("copy.sqlite");
    vsim::CardFeeder feeder(Engine());
    ASSERT_TRUE(feeder.Start({9, kCards, 10ms}));
    LfprogProcess series({"series", "--port", m_port, "--json", "--from", "1", "--count",
                          std::to_string(kCards), "--cycle", "10", "--register", registerFile});
    for (int cards = 0; cards < 6;) {
        const auto line = series.ReadLine(30s);
        ASSERT_TRUE(line) << series.Finish(1s).err;
        ASSERT_NE(Json(*line)["event"].toString(), "end") << *line;
        if (Json(*line)["event"] == "card") ++cards;
    }
    const std::map<long long, QJsonObject> before = RowsById(registerFile);
    // The newest rows are in the write-ahead log only, which a copy of the file would miss.
    EXPECT_GT(QFileInfo(QString::fromStdString(registerFile + "-wal")).size(), 0);

    const Result backup =
        RunLfprog({"register", "backup", copy, "--register", registerFile, "--json"});
    ASSERT_EQ(backup.exit, 0) << backup.out << backup.err;
    EXPECT_EQ(Json(backup.out)["backup"].toString().toStdString(), copy);
    const std::map<long long, QJsonObject> after = RowsById(registerFile);
    // A database of its own, readable by its owner alone, before anything opens it.
    EXPECT_EQ(FileMode(copy), 0600u);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(copy + "-wal")));
    {
        const QString name = QUuid::createUuid().toString();
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
            db.setDatabaseName(QString::fromStdString(copy));
            db.setConnectOptions("QSQLITE_OPEN_READONLY");
            ASSERT_TRUE(db.open());
            QSqlQuery check(db);
            ASSERT_TRUE(check.exec("PRAGMA integrity_check") && check.next());
            EXPECT_EQ(check.value(0).toString(), "ok");
        }
        QSqlDatabase::removeDatabase(name);
    }

    const std::map<long long, QJsonObject> copied = RowsById(copy);
    // Every card confirmed before the copy is in it as the register listed it.
    for (const auto& [id, row] : before) {
        if (row["state"] != "written") continue;
        ASSERT_TRUE(copied.count(id)) << row["number"].toInteger();
        EXPECT_EQ(copied.at(id), row);
    }
    // The copy holds nothing the register did not: a card written by then is listed alike,
    // a reservation caught by the copy may have been confirmed since.
    for (const auto& [id, row] : copied) {
        ASSERT_TRUE(after.count(id)) << row["number"].toInteger();
        if (row["state"] == "written") {
            EXPECT_EQ(after.at(id), row);
        } else {
            EXPECT_EQ(row["state"].toString(), "reserved");
        }
    }

    const Result ended = series.Finish(60s);
    EXPECT_EQ(ended.exit, 0) << ended.out << ended.err;
    EXPECT_EQ(Json(Lines(ended.out).back())["written"].toInteger(), kCards) << ended.out;
    // The copy was taken in the middle of the series, which went on undisturbed.
    EXPECT_LT(copied.size(), static_cast<size_t>(kCards));
    EXPECT_EQ(RowsById(registerFile).size(), static_cast<size_t>(kCards));
}

TEST_F(Lfprog, ABackupThatCannotBeMadeLeavesEveryFileAsItWas) {
    const std::string registerFile = ScratchPath("register.sqlite");
    PlaceFresh();
    ASSERT_EQ(Run({"write", "--facility", "1", "--number", "7", "--register", registerFile}).exit,
              0);
    const std::string earlier = ScratchPath("earlier.sqlite");
    std::ofstream(earlier) << "an earlier backup";
    const QStringList files = FolderNames(m_dir);

    const std::string& own = registerFile;
    const std::string copy = ScratchPath("copy.sqlite");
    const std::string server = "postgresql://orvex@127.0.0.1:1/orvex";
    const struct {
        std::vector<std::string> args;  // after "register backup"
        int exit;
        const char* says;
    } cases[] = {
        {{earlier, "--register", own}, kExitFailure, "exists already"},
        {{own, "--force", "--register", own}, kExitFailure, "the register itself"},
        {{ScratchPath("no/copy.sqlite"), "--register", own}, kExitFailure, "cannot be written"},
        {{copy, "--register", server}, kExitUsage, "pg_dump"},
        {{copy, "--register", "off"}, kExitRegister, "switched off"},
        {{copy, "--register", ScratchPath("none.sqlite")}, kExitRegister, "no card register"},
        {{"--register", own}, kExitUsage, "file"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"register", "backup"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Result refused = RunLfprog(args);
        EXPECT_EQ(refused.exit, c.exit) << c.says << ": " << refused.err;
        EXPECT_NE(refused.err.find(c.says), std::string::npos) << refused.err;
    }
    // No copy begun, no register made, the earlier file and the register untouched.
    EXPECT_EQ(FolderNames(m_dir), files);
    EXPECT_EQ(ReadFile(earlier), "an earlier backup");
    ASSERT_EQ(RowsById(registerFile).size(), 1u);

    const Result replaced =
        RunLfprog({"register", "backup", earlier, "--force", "--register", registerFile});
    ASSERT_EQ(replaced.exit, 0) << replaced.err;
    EXPECT_EQ(FileMode(earlier), 0600u);
    EXPECT_EQ(RowsById(earlier), RowsById(registerFile));
}
