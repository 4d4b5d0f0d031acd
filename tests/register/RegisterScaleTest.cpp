// The register's cost must not grow with its size: the work SQLite does for each operation a
// series or the register window makes (its virtual machine steps, counted on the register's
// own connection, so exact and independent of the machine's load) on a small and on a large
// register.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <functional>

#include "RegisterCases.h"
#include "RegisterDatabases.h"
#include "RegisterFill.h"

using namespace station;

namespace {

// Adds up the steps of every statement run on the register's connections.
class StepCounter {
  public:
    bool Attach() {
        int attached = 0;
        for (const QString& name : QSqlDatabase::connectionNames()) {
            if (!name.startsWith(QLatin1String("orvex-card-register"))) continue;
            const QVariant handle = QSqlDatabase::database(name, false).driver()->handle();
            if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) continue;
            sqlite3* db = *static_cast<sqlite3* const*>(handle.data());
            if (db == nullptr) continue;
            sqlite3_trace_v2(db, SQLITE_TRACE_PROFILE, &StepCounter::Profile, this);
            ++attached;
        }
        return attached > 0;
    }

    long long Steps(const std::function<void()>& operation) {
        m_steps = 0;
        operation();
        return m_steps;
    }

  private:
    static int Profile(unsigned, void* self, void* statement, void*) {
        static_cast<StepCounter*>(self)->m_steps +=
            sqlite3_stmt_status(static_cast<sqlite3_stmt*>(statement), SQLITE_STMTSTATUS_VM_STEP,
                                1);
        return 0;
    }

    long long m_steps = 0;
};

CardRecord FillCard(std::int64_t number) {
    CardRecord card = registertest::Card(number, registerfill::kFillFacility);
    card.format = registerfill::kFillFormat;
    return card;
}

struct Costs {
    long long series = 0, released = 0, duplicate = 0, find = 0, byNumber = 0, firstPage = 0,
              nextPage = 0;
};

// The steps of each operation on a register of rows cards (number rows - 10 released).
void Measure(registertest::RegisterDatabases& databases, std::int64_t rows, Costs& costs) {
    const RegisterSettings settings = databases.Fresh();
    CCardRegister cardRegister(settings, registertest::kVersion);
    ASSERT_TRUE(cardRegister.Open()) << cardRegister.LastError().toStdString();
    {
        QSqlDatabase raw = databases.Raw(settings);
        QString error;
        ASSERT_TRUE(registerfill::FillRegister(raw, rows, rows - 10, error))
            << error.toStdString();
    }
    StepCounter counter;
    ASSERT_TRUE(counter.Attach());
    auto nextFree = [&](std::int64_t expected) {
        CardRecord card = FillCard(1);
        std::int64_t rowId = 0;
        ASSERT_EQ(cardRegister.ReserveNextFree(card, false, 1, 1048575, rowId),
                  ReserveResult::Reserved)
            << cardRegister.LastError().toStdString();
        EXPECT_EQ(card.fields.number, expected);
        ASSERT_TRUE(cardRegister.Confirm(rowId, true, QStringLiteral("E0AA%1").arg(expected)));
    };
    // The series' first card finds the released number and where the issued run ends; the
    // cards after it start from there.
    nextFree(rows - 10);
    nextFree(rows + 1);
    costs.series = counter.Steps([&] { nextFree(rows + 2); });
    // A card released in the series is found again through its release.
    {
        CardRecord card = FillCard(1);
        std::int64_t rowId = 0;
        ASSERT_EQ(cardRegister.ReserveNextFree(card, false, 1, 1048575, rowId),
                  ReserveResult::Reserved);
        ASSERT_TRUE(cardRegister.Release(rowId));
    }
    costs.released = counter.Steps([&] { nextFree(rows + 3); });
    costs.duplicate = counter.Steps([&] {
        std::int64_t rowId = 0;
        std::optional<RegisterEntry> earlier;
        EXPECT_EQ(cardRegister.Reserve(FillCard(rows / 2), false, rowId, earlier),
                  ReserveResult::Duplicate);
    });
    costs.find = counter.Steps([&] {
        const auto found = cardRegister.FindCard(registerfill::kFillFormat, FillCard(7).fields);
        ASSERT_TRUE(found);
        EXPECT_EQ(found->size(), 1u);
    });
    costs.byNumber = counter.Steps([&] {
        RegisterFilter filter;
        filter.number = 7;
        const auto found = cardRegister.List(filter);
        ASSERT_TRUE(found);
        EXPECT_EQ(found->size(), 1u);
    });
    RegisterFilter page;
    page.limit = 20;
    std::optional<std::vector<RegisterEntry>> first;
    costs.firstPage = counter.Steps([&] { first = cardRegister.List(page); });
    ASSERT_TRUE(first);
    ASSERT_EQ(first->size(), 20u);
    // Newest first: the series' cards, then the filled ones from the last number down.
    EXPECT_EQ(first->at(0).fields.number, rows + 3);
    page.after = RegisterFilter::Position{first->back().time, first->back().id};
    std::optional<std::vector<RegisterEntry>> second;
    costs.nextPage = counter.Steps([&] { second = cardRegister.List(page); });
    ASSERT_TRUE(second);
    ASSERT_EQ(second->size(), 20u);
    EXPECT_EQ(second->front().fields.number, first->back().fields.number - 1);
}

TEST(RegisterScale, CostsTheSameAtAnySize) {
    registertest::RegisterDatabases databases(RegisterSettings::Kind::SQLite);
    Costs small, large;
    ASSERT_NO_FATAL_FAILURE(Measure(databases, 500, small));
    ASSERT_NO_FATAL_FAILURE(Measure(databases, 50000, large));
    const std::pair<const char*, long long Costs::*> operations[] = {
        {"next free number", &Costs::series},
        {"next free number after a release", &Costs::released},
        {"duplicate lookup", &Costs::duplicate},
        {"find by card", &Costs::find},
        {"list by number", &Costs::byNumber},
        {"first page", &Costs::firstPage},
        {"next page", &Costs::nextPage},
    };
    for (const auto& [name, cost] : operations) {
        SCOPED_TRACE(name);
        EXPECT_GT(small.*cost, 0);
        EXPECT_LE(large.*cost, 2 * small.*cost) << "small " << small.*cost;
    }
}

}  // namespace
