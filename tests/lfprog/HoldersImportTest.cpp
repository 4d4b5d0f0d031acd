// lfprog holders import as an operator runs it: a preview that stores nothing, the import,
// a list refused whole with its lines named, and columns named on the command line.
#include <QFile>

#include "LfprogFixture.h"

using namespace lfprogtest;

namespace {

class HoldersImport : public Lfprog {
  protected:
    std::string Write(const char* name, const QByteArray& bytes) {
        const std::string path = ScratchPath(name);
        QFile file(QString::fromStdString(path));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        return path;
    }
    // lfprog holders import FILE with the scratch register, --json and the extra arguments.
    Result Import(const std::string& path, std::vector<std::string> args = {}) {
        args.insert(args.begin(), {"holders", "import", path, "--register",
                                   ScratchPath("register.sqlite"), "--json"});
        return RunLfprog(args);
    }
};

// The summary line's counts: added, changed, unchanged, left, refused, and whether stored.
std::string Summary(const Result& result) {
    for (const QJsonObject& line : JsonLines(result.out)) {
        if (!line.contains("stored")) continue;
        return QStringLiteral("%1 %2 %3 %4 %5 %6")
            .arg(line["added"].toInt())
            .arg(line["changed"].toInt())
            .arg(line["unchanged"].toInt())
            .arg(line["left"].toInt())
            .arg(line["refused"].toInt())
            .arg(line["stored"].toBool() ? "stored" : "not stored")
            .toStdString();
    }
    return "no summary: " + result.out + result.err;
}

TEST_F(HoldersImport, PreviewImportRefusalAndMappedColumns) {
    const std::string list = Write("list.csv",
                                   "Personalnummer\tVorname\tNachname\tAbteilung\r\n"
                                   "1001\tAnna\tM\xFCller\tEinkauf\r\n"
                                   "1002\tBernd\tSchulz\tIT\r\n");
    Result result = Import(list, {"--dry-run"});
    EXPECT_EQ(result.exit, 0) << result.err << result.out;
    EXPECT_EQ(Summary(result), "2 0 0 0 0 not stored");
    EXPECT_NE(result.out.find("\"add\":\"1001\""), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("M\xC3\xBCller"), std::string::npos) << result.out;

    result = Import(list);
    EXPECT_EQ(result.exit, 0) << result.err << result.out;
    EXPECT_EQ(Summary(result), "2 0 0 0 0 stored");

    // A duplicate refuses the whole list: the new holder 1003 is not stored either.
    const std::string duplicate = Write("duplicate.csv",
                                        "PNR;Name;Department\n1003;Carla;IT\n1001;Anna;Lager\n"
                                        "1003;Dora;IT\n");
    result = Import(duplicate, {"--mark-left"});
    EXPECT_EQ(result.exit, kExitFailure) << result.err << result.out;
    EXPECT_EQ(Summary(result), "1 1 0 1 1 not stored");
    EXPECT_NE(result.out.find("{\"refused\":4,\"reason\":\"the same personnel number as line 2\"}"),
              std::string::npos)
        << result.out;
    EXPECT_EQ(Summary(Import(list, {"--dry-run"})), "0 0 2 0 0 not stored");

    // Columns the header does not name: refused until --map names them; the separator and
    // encoding chosen by hand.
    const std::string other = Write("other.csv", "Nr,Wer;Bereich\n1001,Anna M\xC3\xBCller;Lager\n");
    result = Import(other, {"--separator", ";"});
    EXPECT_EQ(result.exit, kExitUsage) << result.out;
    EXPECT_NE(result.out.find("no column for the personnel number"), std::string::npos);
    result = Import(other, {"--separator", ",", "--map", "Nr=personnel-number", "--map", "2=name",
                            "--encoding", "utf-8"});
    EXPECT_EQ(result.exit, 0) << result.out;
    EXPECT_EQ(Summary(result), "0 1 0 0 0 stored");
    EXPECT_NE(
        result.out.find("\"change\":\"1001\",\"line\":2,\"name\":\"Anna M\xC3\xBCller;Lager\""),
        std::string::npos)
        << result.out;
    EXPECT_EQ(Import(other, {"--map", "Nr=birthday"}).exit, kExitUsage);
}

}  // namespace
