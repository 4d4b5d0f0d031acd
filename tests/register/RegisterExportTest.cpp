// The register's export a page at a time: every row of the moment it began exactly once, also
// while another station confirms and reserves cards between its pages, and a stop on request.
#include <gtest/gtest.h>

#include <QSet>
#include <QSqlQuery>
#include <QStringList>
#include <QTextStream>

#include "RegisterCases.h"
#include "RegisterDatabases.h"
#include "RegisterFill.h"

using namespace station;

namespace {

class RegisterExport : public testing::TestWithParam<RegisterSettings::Kind> {};

// The first column (id) of every line after the header.
QStringList Ids(const QString& csv) {
    QStringList lines = csv.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    lines.removeFirst();
    QStringList ids;
    for (const QString& line : lines) ids << line.section(QLatin1Char(','), 0, 0);
    return ids;
}

TEST_P(RegisterExport, OneSnapshotAPageAtATime) {
    registertest::RegisterDatabases databases(GetParam());
    const RegisterSettings settings = databases.Fresh();
    CCardRegister exporter(settings, registertest::kVersion);
    CCardRegister station(settings, registertest::kVersion);
    ASSERT_TRUE(exporter.Open()) << exporter.LastError().toStdString();
    {
        QSqlDatabase raw = databases.Raw(settings);
        QString error;
        ASSERT_TRUE(registerfill::FillRegister(raw, 2400, 0, error)) << error.toStdString();
    }
    // A card reserved long ago and only confirmed between two pages: it then moves from the
    // last page to the newest card, behind the pages already written.
    std::int64_t pending = 0;
    std::optional<RegisterEntry> earlier;
    ASSERT_EQ(station.Reserve(registertest::Card(5), false, pending, earlier),
              ReserveResult::Reserved);
    {
        // Dated back behind the register's rules, which allow no such change.
        QSqlDatabase age = databases.Raw(settings);
        QString error;
        ASSERT_TRUE(registerfill::RunBehindTheRules(
            age,
            {QStringLiteral("UPDATE cards SET time = '2020-01-01T00:05:00.000Z' WHERE id = %1")
                 .arg(pending)},
            error))
            << error.toStdString();
    }

    QString csv;
    QTextStream out(&csv);
    std::int64_t rows = 0;
    std::vector<std::int64_t> told;
    const bool exported = exporter.ExportCsv(out, {}, {}, rows, [&](std::int64_t written) {
        if (told.empty()) {
            EXPECT_TRUE(station.Confirm(pending, true, QStringLiteral("E0AA05")));
            std::int64_t later = 0;
            EXPECT_EQ(station.Reserve(registertest::Card(6), false, later, earlier),
                      ReserveResult::Reserved);
        }
        told.push_back(written);
        return true;
    });
    ASSERT_TRUE(exported) << exporter.LastError().toStdString();
    out.flush();
    EXPECT_EQ(rows, 2401);
    EXPECT_EQ(told, (std::vector<std::int64_t>{1000, 2000, 2401}));
    const QStringList ids = Ids(csv);
    EXPECT_EQ(ids.size(), 2401);
    EXPECT_EQ(QSet<QString>(ids.begin(), ids.end()).size(), 2401) << "a row written twice";
    EXPECT_EQ(ids.indexOf(QString::number(pending)), 2100) << "the card confirmed meanwhile";

    // Stopped after its first page: false with the reason, the register usable afterwards.
    QString stopped;
    QTextStream partial(&stopped);
    EXPECT_FALSE(exporter.ExportCsv(partial, {}, {}, rows, [](std::int64_t) { return false; }));
    EXPECT_EQ(rows, 1000);
    EXPECT_EQ(exporter.LastError(), QStringLiteral("the export was cancelled"));
    std::int64_t next = 0;
    EXPECT_EQ(exporter.Reserve(registertest::Card(7), false, next, earlier),
              ReserveResult::Reserved)
        << exporter.LastError().toStdString();
}

INSTANTIATE_TEST_SUITE_P(, RegisterExport,
                         testing::Values(RegisterSettings::Kind::SQLite,
                                         RegisterSettings::Kind::PostgreSQL),
                         [](const auto& info) {
                             return info.param == RegisterSettings::Kind::SQLite
                                        ? std::string("SQLite")
                                        : std::string("PostgreSQL");
                         });

}  // namespace
