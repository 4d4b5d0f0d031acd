// A register that cannot record says why, and leaves what it found as it was: a folder that
// cannot be made, a file it may not write, a file of another program or of a newer one, a
// server that went away and came back, and the ways a PostgreSQL password is given.
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <chrono>
#include <thread>

#include "RegisterDatabases.h"

using namespace station;
using registertest::Card;

namespace {

const QString kVersion = QStringLiteral("1.0");

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

RegisterSettings SqliteAt(const QString& file) {
    RegisterSettings settings;
    settings.file = file;
    return settings;
}

// The register cannot be opened, says why, and refuses a card for the same reason.
void ExpectRefused(CCardRegister& cardRegister, const char* reason) {
    EXPECT_FALSE(cardRegister.Open());
    EXPECT_TRUE(cardRegister.LastError().contains(QString::fromLatin1(reason)))
        << cardRegister.LastError().toStdString();
    std::int64_t rowId = 0;
    std::optional<RegisterEntry> earlier;
    EXPECT_EQ(cardRegister.Reserve(Card(1), false, rowId, earlier), ReserveResult::Failed);
    EXPECT_TRUE(cardRegister.LastError().contains(QString::fromLatin1(reason)))
        << cardRegister.LastError().toStdString();
}

// Runs work on a thread that file permissions bind even when the test runs as root (CI):
// without the capabilities that override them. Capabilities belong to the thread.
void WithoutPermissionOverride(const std::function<void()>& work) {
    std::thread thread([&] {
        if (geteuid() == 0) {
            __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
            __user_cap_data_struct data[2] = {};
            ASSERT_EQ(syscall(SYS_capget, &header, data), 0);
            for (int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
                data[0].effective &= ~(1u << capability);
            }
            ASSERT_EQ(syscall(SYS_capset, &header, data), 0);
        }
        work();
    });
    thread.join();
}

TEST(RegisterFailure, SqliteFolderThatCannotBeMade) {
    QTemporaryDir folder;
    const QString blocker = folder.filePath(QStringLiteral("plain-file"));
    WriteFile(blocker, "not a folder");
    CCardRegister cardRegister(SqliteAt(blocker + QStringLiteral("/sub/register.sqlite")),
                               kVersion);
    ExpectRefused(cardRegister, "cannot be created");
    EXPECT_EQ(Contents(blocker), QByteArray("not a folder"));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size(), 1);
}

TEST(RegisterFailure, SqliteFileThatMayNotBeWritten) {
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("register.sqlite"));
    {
        CCardRegister cardRegister(SqliteAt(file), kVersion);
        ASSERT_TRUE(cardRegister.Open()) << cardRegister.LastError().toStdString();
    }
    const QByteArray before = Contents(file);
    ASSERT_TRUE(
        QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    WithoutPermissionOverride([&] {
        CCardRegister cardRegister(SqliteAt(file), kVersion);
        ExpectRefused(cardRegister, "readonly");
    });
    EXPECT_EQ(Contents(file), before);
}

// Files the register must not take for its own: nothing in them changes.
TEST(RegisterFailure, ForeignOrNewerFileIsRefusedAndLeftAlone) {
    QTemporaryDir folder;
    struct Row {
        const char* name;
        std::function<void(const QString&)> make;
        const char* reason;
    };
    auto withSql = [](std::vector<const char*> statements) {
        return [statements](const QString& path) {
            {
                QSqlDatabase db =
                    QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("maker"));
                db.setDatabaseName(path);
                ASSERT_TRUE(db.open());
                QSqlQuery query(db);
                for (const char* statement : statements) ASSERT_TRUE(query.exec(statement));
            }
            QSqlDatabase::removeDatabase(QStringLiteral("maker"));
        };
    };
    const Row table[] = {
        {"text file", [](const QString& path) { WriteFile(path, QByteArray(4096, 'x')); },
         "not a database"},
        {"another program's database",
         withSql({"CREATE TABLE people (name TEXT)", "INSERT INTO people VALUES ('Ada')"}),
         "no card register"},
        {"a newer register",
         withSql({"CREATE TABLE register_info (key TEXT PRIMARY KEY, value TEXT NOT NULL)",
                  "INSERT INTO register_info VALUES ('schema_version', '99')"}),
         "schema version 99"},
    };
    int index = 0;
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        const QString file = folder.filePath(QStringLiteral("file-%1").arg(++index));
        row.make(file);
        const QByteArray before = Contents(file);
        {
            CCardRegister cardRegister(SqliteAt(file), kVersion);
            ExpectRefused(cardRegister, row.reason);
        }
        EXPECT_EQ(Contents(file), before);
    }
}

TEST(RegisterFailure, ServerStoppedAndStartedAgain) {
    pgtest::PgServer server;
    ASSERT_TRUE(server.Start()) << server.Error().toStdString();
    CCardRegister cardRegister(registertest::ServerSettings(server, server.Database()), kVersion);
    std::int64_t rowId = 0;
    std::optional<RegisterEntry> earlier;
    ASSERT_EQ(cardRegister.Reserve(Card(1), false, rowId, earlier), ReserveResult::Reserved)
        << cardRegister.LastError().toStdString();

    // A server restarted between two cards is used at once.
    ASSERT_TRUE(server.Stop());
    ASSERT_TRUE(server.Start()) << server.Error().toStdString();
    ASSERT_EQ(cardRegister.Reserve(Card(2), false, rowId, earlier), ReserveResult::Reserved)
        << cardRegister.LastError().toStdString();

    ASSERT_TRUE(server.Stop());
    for (int attempt = 0; attempt < 2; ++attempt) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(cardRegister.Reserve(Card(3), false, rowId, earlier), ReserveResult::Failed);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
        EXPECT_TRUE(cardRegister.LastError().startsWith(QStringLiteral("Cannot ")))
            << cardRegister.LastError().toStdString();
        EXPECT_GT(cardRegister.LastError().indexOf(QStringLiteral(": ")), 0);
        EXPECT_FALSE(cardRegister.LastError().contains(QLatin1Char('\n')));
    }
    EXPECT_FALSE(cardRegister.IsOpen());

    ASSERT_TRUE(server.Start()) << server.Error().toStdString();
    ASSERT_EQ(cardRegister.Reserve(Card(3), false, rowId, earlier), ReserveResult::Reserved)
        << cardRegister.LastError().toStdString();
    EXPECT_EQ(cardRegister.List({})->size(), 3u);
}

TEST(RegisterFailure, PostgreSqlPasswordFromEnvironmentOrPasswordFile) {
    pgtest::PgServer server;
    ASSERT_TRUE(server.Start()) << server.Error().toStdString();
    const RegisterSettings settings = registertest::ServerSettings(server, server.Database());
    const QByteArray passFile = server.WritePassFile().toUtf8();
    struct Row {
        const char* name;
        const char* password;  // nullptr: PGPASSWORD unset
        QByteArray passFile;
        const char* error;  // nullptr: it opens
    };
    const QByteArray password = server.Password().toUtf8();
    const Row table[] = {
        {"PGPASSWORD", password.constData(), "/nonexistent/pgpass", nullptr},
        {"password file", nullptr, passFile, nullptr},
        {"wrong password", "wrong", "/nonexistent/pgpass", "password authentication failed"},
        {"no password", nullptr, "/nonexistent/pgpass", "no password supplied"},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        if (row.password != nullptr) {
            qputenv("PGPASSWORD", row.password);
        } else {
            qunsetenv("PGPASSWORD");
        }
        qputenv("PGPASSFILE", row.passFile);
        CCardRegister cardRegister(settings, kVersion);
        EXPECT_EQ(cardRegister.Open(), row.error == nullptr);
        if (row.error != nullptr) {
            EXPECT_TRUE(cardRegister.LastError().contains(QString::fromLatin1(row.error)))
                << cardRegister.LastError().toStdString();
        }
    }
}

}  // namespace
