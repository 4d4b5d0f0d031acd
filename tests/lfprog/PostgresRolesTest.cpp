// lfprog on a PostgreSQL register the way a site sets it up: TLS only, the server checked
// against the site's certificate authority, the roles of the package's script, a station
// account that writes a series with the next free number and an office account that lists
// but cannot change a card.
#include "ChipRecorder.h"
#include "LfprogFixture.h"
#include "PgServer.h"

using namespace lfprogtest;
using namespace std::chrono_literals;

namespace {

class LfprogRoles : public Lfprog {
  protected:
    void SetUp() override {
        Lfprog::SetUp();
        ASSERT_TRUE(m_server.UseTls()) << m_server.Error().toStdString();
        ASSERT_TRUE(m_server.Start()) << m_server.Error().toStdString() << "\n"
                                      << m_server.LogTail().toStdString();
        m_env = {{"PGPASSFILE", m_server.WritePassFile().toStdString()}};
        unsetenv("PGPASSWORD");
        // The owner opens the register once (its tables), then the script grants on them.
        const Result opened = RunLfprog({"register", "list", "--register", Url("orvex")}, m_env);
        ASSERT_EQ(opened.exit, 0) << opened.out << opened.err;
        ASSERT_TRUE(m_server.RunSqlFile(QStringLiteral(ORVEX_REGISTER_ROLES_SQL)))
            << m_server.Error().toStdString();
        ASSERT_TRUE(m_server.RunSql(
            QStringLiteral("CREATE ROLE station1 LOGIN PASSWORD '%1' IN ROLE orvex_station; "
                           "CREATE ROLE office1 LOGIN PASSWORD '%1' IN ROLE orvex_office")
                .arg(m_server.Password())))
            << m_server.Error().toStdString();
    }

    std::string Url(const std::string& user,
                    const std::string& query = "?sslmode=verify-full&sslrootcert=") const {
        std::string url = "postgresql://" + user + "@" + m_server.Host().toStdString() + ":" +
                          std::to_string(m_server.Port()) + "/" +
                          m_server.Database().toStdString() + query;
        if (query.ends_with("sslrootcert=")) url += m_server.CaFile().toStdString();
        return url;
    }

    pgtest::PgServer m_server;
    std::map<std::string, std::string> m_env;
};

}  // namespace

TEST_F(LfprogRoles, AStationAccountWritesASeriesAndTheOfficeOnlyLists) {
    ChipRecorder chips(Engine());
    vsim::CardFeeder feeder(Engine());
    ASSERT_TRUE(feeder.Start({9, 4, 5ms}));
    const Result series =
        RunLfprog({"series", "--port", m_port, "--json", "--from", "100", "--facility", "5",
                   "--count", "4", "--cycle", "10", "--register", Url("station1"), "--next-free"},
                  m_env);
    ASSERT_EQ(series.exit, 0) << series.out << series.err;
    EXPECT_EQ(chips.Cards().size(), 4u);

    const Result listed =
        RunLfprog({"register", "list", "--json", "--register", Url("office1")}, m_env);
    ASSERT_EQ(listed.exit, 0) << listed.out << listed.err;
    const std::vector<QJsonObject> rows = JsonLines(listed.out);
    ASSERT_EQ(rows.size(), 4u) << listed.out;
    for (const QJsonObject& row : rows) EXPECT_EQ(row["state"].toString(), "written");

    const Result revoke = RunLfprog({"register", "revoke", "100", "--facility", "5", "--reason",
                                     "lost", "--json", "--register", Url("office1")},
                                    m_env);
    EXPECT_NE(revoke.exit, 0) << revoke.out;
    EXPECT_NE(revoke.out.find("permission denied"), std::string::npos) << revoke.out;
}

TEST_F(LfprogRoles, TheRegisterUrlTakesTlsSettingsAndRefusesOthers) {
    struct Case {
        const char* query;  // after the database name; "sslrootcert=" gets the CA's path
        int exit;
        const char* says;
    };
    const Case cases[] = {
        {"?sslmode=verify-full&sslrootcert=", 0, ""},
        {"?sslmode=VERIFY-FULL&sslrootcert=", 0, ""},
        {"?sslmode=verify-full&sslrootcert=/nonexistent/ca.crt", kExitRegister, "root certificate"},
        {"?sslmode=disable", kExitRegister, "no encryption"},
        {"?sslmode=strict", kExitUsage, "not one of disable, allow, prefer"},
        {"?sslmode=require&sslmode=disable", kExitUsage, "sslmode twice"},
        {"?password=secret", kExitUsage, "not 'password'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query);
        const Result result = RunLfprog(
            {"register", "list", "--json", "--register", Url("station1", c.query)}, m_env);
        EXPECT_EQ(result.exit, c.exit) << result.out << result.err;
        EXPECT_NE((result.out + result.err).find(c.says), std::string::npos)
            << result.out << result.err;
    }
}
