// The two kinds of register a test runs against: a file in a temporary folder, and a database
// on a PostgreSQL server this test process starts itself (once, shared by its tests).
#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QTemporaryDir>
#include <memory>

#include "PgServer.h"
#include "station/register/CardRegister.h"

namespace registertest {

class RegisterDatabases {
  public:
    explicit RegisterDatabases(station::RegisterSettings::Kind kind);
    ~RegisterDatabases();

    // Settings of a new, empty register; empty optional with a failure when none can be made.
    station::RegisterSettings Fresh();
    // A plain connection to the register of settings, for looking behind the register's back.
    QSqlDatabase Raw(const station::RegisterSettings& settings);

    pgtest::PgServer* Server() { return m_server.get(); }
    const QTemporaryDir& Folder() const { return m_folder; }

  private:
    station::RegisterSettings::Kind m_kind;
    QTemporaryDir m_folder;
    std::unique_ptr<pgtest::PgServer> m_server;
    int m_count = 0;
    QStringList m_rawNames;
};

// Settings of the test server's database name, with its password in PGPASSWORD.
station::RegisterSettings ServerSettings(const pgtest::PgServer& server, const QString& database);

// A card of the 26-bit format on an ATA5577.
station::CardRecord Card(std::int64_t number, int facility = 12);

}  // namespace registertest
