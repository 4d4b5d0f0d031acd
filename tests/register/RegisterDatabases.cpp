#include "RegisterDatabases.h"

#include <gtest/gtest.h>

#include <QDir>
#include <cstdlib>

#include "RegisterFill.h"

namespace registertest {

using station::RegisterSettings;

RegisterDatabases::RegisterDatabases(RegisterSettings::Kind kind) : m_kind(kind) {
    if (kind != RegisterSettings::Kind::PostgreSQL) return;
    m_server = std::make_unique<pgtest::PgServer>();
    // Fails, not skips: CI installs the server for these tests.
    EXPECT_TRUE(m_server->Start()) << m_server->Error().toStdString();
}

RegisterDatabases::~RegisterDatabases() {
    for (const QString& name : m_rawNames) QSqlDatabase::removeDatabase(name);
}

RegisterSettings ServerSettings(const pgtest::PgServer& server, const QString& database) {
    qputenv("PGPASSWORD", server.Password().toUtf8());
    // The user's own password file must not answer for the test.
    qputenv("PGPASSFILE", "/nonexistent/pgpass");
    RegisterSettings settings;
    settings.kind = RegisterSettings::Kind::PostgreSQL;
    settings.host = server.Host();
    settings.port = server.Port();
    settings.database = database;
    settings.user = server.User();
    return settings;
}

RegisterSettings RegisterDatabases::Fresh() {
    const QString name = QStringLiteral("case_%1").arg(++m_count);
    if (m_kind == RegisterSettings::Kind::SQLite) {
        RegisterSettings settings;
        settings.file = m_folder.filePath(name + QStringLiteral("/register.sqlite"));
        return settings;
    }
    EXPECT_TRUE(m_server->CreateDatabase(name)) << m_server->Error().toStdString();
    return ServerSettings(*m_server, name);
}

QSqlDatabase RegisterDatabases::Raw(const RegisterSettings& settings) {
    const QString name = QStringLiteral("raw-%1").arg(m_rawNames.size());
    m_rawNames << name;
    QSqlDatabase db = registerfill::PlainConnection(settings, name);
    EXPECT_TRUE(db.isOpen());
    return db;
}

station::CardRecord Card(std::int64_t number, int facility) {
    station::CardRecord card;
    card.format = 0;
    card.chipType = 9;
    card.fields.facility = facility;
    card.fields.number = number;
    card.customer = QString::number(static_cast<long long>(number));
    return card;
}

}  // namespace registertest
