// A register on a PostgreSQL server that takes TLS only: the server is authenticated with the
// site's certificate authority or the connection is refused with the reason; and the roles the
// package's script makes: a station that runs the card's whole life but cannot delete a card
// or touch the history, and an office that reads only.
#include <gtest/gtest.h>

#include <QSqlError>
#include <QSqlQuery>
#include <memory>

#include "PgServer.h"
#include "RegisterDatabases.h"
#include "RegisterFill.h"

using namespace station;
using registertest::Card;

namespace {

const QString kVersion = QStringLiteral("1.0");

class RegisterTls : public ::testing::Test {
  protected:
    // One server for the file's tests: making certificates and a cluster takes seconds.
    static void SetUpTestSuite() {
        s_server = std::make_unique<pgtest::PgServer>();
        ASSERT_TRUE(s_server->UseTls()) << s_server->Error().toStdString();
        ASSERT_TRUE(s_server->Start()) << s_server->Error().toStdString();
    }
    static void TearDownTestSuite() { s_server.reset(); }

    void SetUp() override {
        if (!s_server || !s_server->Running()) GTEST_SKIP() << "no server (see SetUpTestSuite)";
    }

    static RegisterSettings Verified(const QString& user = QStringLiteral("orvex")) {
        RegisterSettings settings = registertest::ServerSettings(*s_server, s_server->Database());
        settings.user = user;
        settings.sslMode = QStringLiteral("verify-full");
        settings.sslRootCert = s_server->CaFile();
        return settings;
    }

    // Makes the roles with the shipped script and one login of each, once.
    static void MakeRoles() {
        if (s_roles) return;
        // The tables exist before the script grants on them: the owner opens the register.
        CCardRegister owner(Verified(), kVersion);
        ASSERT_TRUE(owner.Open()) << owner.LastError().toStdString();
        for (int run = 0; run < 2; ++run) {  // a second run changes nothing and does not fail
            ASSERT_TRUE(s_server->RunSqlFile(QStringLiteral(ORVEX_REGISTER_ROLES_SQL)))
                << s_server->Error().toStdString();
        }
        const QString password = s_server->Password();
        ASSERT_TRUE(s_server->RunSql(
            QStringLiteral("CREATE ROLE station1 LOGIN PASSWORD '%1' IN ROLE orvex_station; "
                           "CREATE ROLE office1 LOGIN PASSWORD '%1' IN ROLE orvex_office")
                .arg(password)))
            << s_server->Error().toStdString();
        s_roles = true;
    }

    static std::unique_ptr<pgtest::PgServer> s_server;
    static bool s_roles;
};

std::unique_ptr<pgtest::PgServer> RegisterTls::s_server;
bool RegisterTls::s_roles = false;

TEST_F(RegisterTls, OpensOnlyWithAServerItCanVerify) {
    struct Case {
        const char* name;
        QString sslMode;
        QString rootCert;
        const char* reason;  // nullptr: opens
    };
    const Case cases[] = {
        {"the site's authority", QStringLiteral("verify-full"), s_server->CaFile(), nullptr},
        {"authority only", QStringLiteral("verify-ca"), s_server->CaFile(), nullptr},
        {"another authority", QStringLiteral("verify-full"), s_server->OtherCaFile(),
         "certificate verify failed"},
        {"no authority file", QStringLiteral("verify-full"), QStringLiteral("/nonexistent/ca.crt"),
         "root certificate file \"/nonexistent/ca.crt\" does not exist"},
        {"no TLS", QStringLiteral("disable"), QString(), "no encryption"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RegisterSettings settings = Verified();
        settings.sslMode = c.sslMode;
        settings.sslRootCert = c.rootCert;
        CCardRegister cardRegister(settings, kVersion);
        const bool opened = cardRegister.Open();
        if (c.reason == nullptr) {
            EXPECT_TRUE(opened) << cardRegister.LastError().toStdString();
            continue;
        }
        EXPECT_FALSE(opened);
        EXPECT_TRUE(cardRegister.LastError().contains(QString::fromLatin1(c.reason)))
            << cardRegister.LastError().toStdString();
    }
}

TEST_F(RegisterTls, TheStationRoleRunsACardsLifeButCannotDeleteOrRewriteHistory) {
    MakeRoles();
    CCardRegister station(Verified(QStringLiteral("station1")), kVersion);
    ASSERT_TRUE(station.Open()) << station.LastError().toStdString();

    // Next free number twice, a confirmation, a release, an unverified card resolved as
    // released, a revocation.
    std::int64_t first = 0;
    std::int64_t second = 0;
    CardRecord card = Card(0, 40);
    ASSERT_EQ(station.ReserveNextFree(card, false, 500, 1000, first), ReserveResult::Reserved)
        << station.LastError().toStdString();
    ASSERT_TRUE(station.Confirm(first, true, QStringLiteral("E0000001")))
        << station.LastError().toStdString();
    card = Card(0, 40);
    ASSERT_EQ(station.ReserveNextFree(card, false, 500, 1000, second), ReserveResult::Reserved)
        << station.LastError().toStdString();
    EXPECT_EQ(card.fields.number, 501);
    EXPECT_TRUE(station.Release(second)) << station.LastError().toStdString();
    std::int64_t unverified = 0;
    std::optional<RegisterEntry> earlier;
    ASSERT_EQ(station.Reserve(Card(600, 40), false, unverified, earlier), ReserveResult::Reserved);
    ASSERT_TRUE(station.HoldUnverified(unverified, QStringLiteral("E0000002")));
    EXPECT_TRUE(station.ResolveReleased(unverified)) << station.LastError().toStdString();
    std::int64_t revoked = 0;
    ASSERT_EQ(station.Reserve(Card(700, 40), false, revoked, earlier), ReserveResult::Reserved);
    ASSERT_TRUE(station.Confirm(revoked, true, QStringLiteral("E0000003")));
    EXPECT_TRUE(station.Revoke(revoked, RevokeReason::Lost)) << station.LastError().toStdString();

    // Behind the register's back, as the station's account: no written card goes, and the
    // history stays as it was written.
    RegisterSettings raw = Verified(QStringLiteral("station1"));
    QSqlDatabase db = registerfill::PlainConnection(raw, QStringLiteral("station-raw"));
    ASSERT_TRUE(db.isOpen()) << db.lastError().text().toStdString();
    {
        QSqlQuery query(db);
        ASSERT_TRUE(query.exec(QStringLiteral("DELETE FROM cards")));
        EXPECT_EQ(query.numRowsAffected(), 0);
        for (const QString& refused :
             {QStringLiteral("UPDATE card_events SET reason = 'x'"),
              QStringLiteral("DELETE FROM card_events"),
              QStringLiteral("UPDATE cards SET state = 'reserved'"),
              QStringLiteral("UPDATE cards SET state = 'unverified' WHERE state = 'written'"),
              QStringLiteral("TRUNCATE cards"), QStringLiteral("DROP TABLE card_events"),
              QStringLiteral("ALTER TABLE cards DISABLE ROW LEVEL SECURITY"),
              // The lost badge back on the door, another number or holder on a card.
              QStringLiteral("UPDATE cards SET state = 'written' WHERE state = 'revoked'"),
              QStringLiteral("UPDATE cards SET number = number + 1"),
              QStringLiteral("UPDATE cards SET holder = 5"),
              QStringLiteral("UPDATE cards SET reissue = 1"),
              // A card inserted as anything but a new reservation now.
              QStringLiteral("INSERT INTO cards (format, facility, number, chip, state, time, "
                             "layout, card_key) VALUES ('26', 1, 1, 'ata5577', 'written', "
                             "to_char(now() AT TIME ZONE 'UTC', "
                             "'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'), '26', 65537)"),
              QStringLiteral("INSERT INTO cards (format, facility, number, chip, state, time, "
                             "layout, card_key) VALUES ('26', 1, 2, 'ata5577', 'reserved', "
                             "'2020-01-01T00:00:00.000Z', '26', 65538)"),
              // Events with a time or a role of the station's choosing.
              QStringLiteral("INSERT INTO card_events (card_id, layout, card_key, kind, time) "
                             "VALUES (1, '26', 1, 'revoked', '2020-01-01T00:00:00.000Z')"),
              QStringLiteral("INSERT INTO card_events (card_id, layout, card_key, kind, "
                             "db_role) VALUES (1, '26', 1, 'revoked', 'office1')"),
              // The register made to look like a newer program's.
              QStringLiteral("UPDATE register_info SET value = '9' "
                             "WHERE key = 'schema_version'"),
              QStringLiteral("INSERT INTO register_info (key, value) VALUES ('x', 'y')")}) {
            EXPECT_FALSE(query.exec(refused)) << refused.toStdString();
        }
        // The server names the role that made each change, and dates it.
        ASSERT_TRUE(query.exec(QStringLiteral(
            "SELECT DISTINCT db_role FROM card_events WHERE card_id IN (%1, %2, %3)")
                                   .arg(first)
                                   .arg(second)
                                   .arg(revoked)));
        ASSERT_TRUE(query.next());
        EXPECT_EQ(query.value(0).toString(), QStringLiteral("station1"));
        EXPECT_FALSE(query.next());
    }
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("station-raw"));
    const auto rows = station.List({});
    ASSERT_TRUE(rows) << station.LastError().toStdString();
    EXPECT_EQ(rows->size(), 2u);  // the written card and the revoked one
    const auto history = station.History(first);
    ASSERT_TRUE(history);
    EXPECT_FALSE(history->empty());
}

TEST_F(RegisterTls, TheOfficeRoleReadsButCannotWrite) {
    MakeRoles();
    {
        CCardRegister owner(Verified(), kVersion);
        std::int64_t rowId = 0;
        std::optional<RegisterEntry> earlier;
        ASSERT_EQ(owner.Reserve(Card(900, 41), false, rowId, earlier), ReserveResult::Reserved)
            << owner.LastError().toStdString();
        ASSERT_TRUE(owner.Confirm(rowId, true, QStringLiteral("E0000900")));
    }
    CCardRegister office(Verified(QStringLiteral("office1")), kVersion);
    ASSERT_TRUE(office.Open()) << office.LastError().toStdString();
    const auto found = office.FindCard(0, Card(900, 41).fields);
    ASSERT_TRUE(found) << office.LastError().toStdString();
    ASSERT_EQ(found->size(), 1u);
    EXPECT_TRUE(office.History(found->front().id).has_value());

    std::int64_t rowId = 0;
    std::optional<RegisterEntry> earlier;
    EXPECT_EQ(office.Reserve(Card(901, 41), false, rowId, earlier), ReserveResult::Failed);
    EXPECT_TRUE(office.LastError().contains(QLatin1String("permission denied")))
        << office.LastError().toStdString();
    EXPECT_FALSE(office.Revoke(found->front().id, RevokeReason::Stolen));
    const auto after = office.FindCard(0, Card(900, 41).fields);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->front().state, RegisterEntry::State::Written);
}

}  // namespace
