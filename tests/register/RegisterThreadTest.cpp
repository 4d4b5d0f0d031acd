// A register whose calls run on a thread of their own: results and out parameters reach the
// caller, a call that does not answer in time fails with the reason and later calls fail at
// once until it returns, and a register deleted while a call is stuck goes once it returns.
// A busy SQLite file holds a call as a silent server would: another connection keeps the
// write lock, and the register waits for it.
#include <gtest/gtest.h>

#include <QSqlQuery>
#include <QTextStream>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "RegisterDatabases.h"
#include "RegisterFill.h"
#include "station/register/RegisterImport.h"
#include "station/register/RegisterThread.h"

using namespace station;
using namespace std::chrono_literals;
using registertest::Card;

namespace {

// Holds the register file's write lock while it lives.
class WriteLock {
  public:
    explicit WriteLock(const RegisterSettings& settings)
        : m_db(registerfill::PlainConnection(settings, QStringLiteral("write-lock"))) {
        QSqlQuery(m_db).exec(QStringLiteral("BEGIN IMMEDIATE"));
    }
    ~WriteLock() {
        QSqlQuery(m_db).exec(QStringLiteral("COMMIT"));
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("write-lock"));
    }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

  private:
    QSqlDatabase m_db;
};

TEST(RegisterThread, RunsOnItsThreadAndAbandonsACallThatTimesOut) {
    std::atomic<int> pumped{0};
    CRegisterThread calls(100ms, [&pumped] { ++pumped; });
    std::thread::id ranOn;
    ASSERT_EQ(calls.Run([&] { ranOn = std::this_thread::get_id(); }),
              CRegisterThread::Outcome::Done);
    EXPECT_NE(ranOn, std::this_thread::get_id());

    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(calls.Run([released] { released.wait(); }), CRegisterThread::Outcome::TimedOut);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
    EXPECT_GT(pumped.load(), 10);  // the caller's events ran while it waited
    EXPECT_TRUE(calls.Stuck());
    bool ran = false;
    EXPECT_EQ(calls.Run([&ran] { ran = true; }), CRegisterThread::Outcome::Stuck);
    EXPECT_FALSE(ran);

    release.set_value();
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (calls.Stuck() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    EXPECT_EQ(calls.Run([&ran] { ran = true; }), CRegisterThread::Outcome::Done);
    EXPECT_TRUE(ran);
}

class RegisterOnThread : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_settings.file = m_dir.filePath(QStringLiteral("register.sqlite"));
        m_register.reset(new CCardRegister(m_settings, QStringLiteral("1.0")));
        ASSERT_TRUE(m_register->Open()) << m_register->LastError().toStdString();
        m_register->RunCallsOnThread(400ms, {});
    }
    // Waits until the register answers again.
    bool AnswersAgain() {
        const auto deadline = std::chrono::steady_clock::now() + 15s;
        while (std::chrono::steady_clock::now() < deadline) {
            if (m_register->List({}).has_value()) return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    QTemporaryDir m_dir;
    RegisterSettings m_settings;
    RegisterPtr m_register;
};

TEST_F(RegisterOnThread, ResultsAndOutParametersReachTheCaller) {
    CardRecord card = Card(0);
    std::int64_t rowId = 0;
    ASSERT_EQ(m_register->ReserveNextFree(card, false, 100, 200, rowId), ReserveResult::Reserved);
    EXPECT_EQ(card.fields.number, 100);
    EXPECT_NE(rowId, 0);
    ASSERT_TRUE(m_register->Confirm(rowId, true, QStringLiteral("AA01")));
    std::optional<RegisterEntry> earlier;
    EXPECT_EQ(m_register->Reserve(card, false, rowId, earlier), ReserveResult::Duplicate);
    ASSERT_TRUE(earlier.has_value());
    EXPECT_EQ(earlier->uid, QStringLiteral("AA01"));
    EXPECT_TRUE(m_register->IsOpen());
    // A refusal's words come from the thread too.
    EXPECT_FALSE(m_register->Release(earlier->id));
    EXPECT_FALSE(m_register->LastError().isEmpty());
}

// An import runs on the register's thread like any call; the exports, which write into the
// caller's stream, are refused there with words that say why, and write nothing.
TEST_F(RegisterOnThread, ImportGoesToTheThreadAndStreamExportsAreRefused) {
    ImportSource source;
    std::vector<ImportProblem> problems;
    ASSERT_TRUE(ReadImportCsv("id,format,facility,number,extra,chip,chip_id,locked,verified,"
                              "reissue,state,time,station,operator,program_version\r\n"
                              "1,26,12,5,0,ata5577,AB,0,1,0,written,2025-03-04T05:06:07Z,d,a,1\r\n",
                              source, problems));
    ImportReport report;
    ASSERT_TRUE(m_register->Import(source, report)) << m_register->LastError().toStdString();
    EXPECT_EQ(report.added, 1);
    QString text;
    QTextStream out(&text);
    std::int64_t rows = 0;
    const std::function<bool()> exports[] = {
        [&] { return m_register->WriteValidCardsCsv(out, {}); },
        [&] { return m_register->WriteBlockListCsv(out, {}); },
        [&] { return m_register->ExportCsv(out, {}, {}, rows); },
    };
    for (const auto& write : exports) {
        EXPECT_FALSE(write());
        EXPECT_TRUE(m_register->LastError().contains("thread of its own"))
            << m_register->LastError().toStdString();
    }
    out.flush();
    EXPECT_TRUE(text.isEmpty());
    EXPECT_EQ(m_register->List({})->size(), 1u);
}

TEST_F(RegisterOnThread, ACallThatDoesNotAnswerFailsAndLaterCallsFailAtOnce) {
    std::optional<WriteLock> lock(std::in_place, m_settings);
    CardRecord card = Card(4711);
    std::int64_t rowId = 0;
    std::optional<RegisterEntry> earlier;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(m_register->Reserve(card, false, rowId, earlier), ReserveResult::Failed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_TRUE(m_register->LastError().contains(QStringLiteral("did not answer within 0.4 s")))
        << m_register->LastError().toStdString();
    EXPECT_FALSE(m_register->IsOpen());

    const auto again = std::chrono::steady_clock::now();
    EXPECT_FALSE(m_register->List({}).has_value());
    EXPECT_LT(std::chrono::steady_clock::now() - again, 200ms);
    EXPECT_TRUE(m_register->LastError().contains(QStringLiteral("earlier call")))
        << m_register->LastError().toStdString();

    lock.reset();
    ASSERT_TRUE(AnswersAgain()) << m_register->LastError().toStdString();
    // The abandoned reservation went through once the lock was free.
    const auto rows = m_register->List({});
    ASSERT_TRUE(rows.has_value());
    EXPECT_EQ(rows->size(), 1u);
}

TEST_F(RegisterOnThread, ARegisterDeletedWhileACallIsStuckGoesWhenItReturns) {
    {
        const WriteLock lock(m_settings);
        CardRecord card = Card(4712);
        std::int64_t rowId = 0;
        std::optional<RegisterEntry> earlier;
        EXPECT_EQ(m_register->Reserve(card, false, rowId, earlier), ReserveResult::Failed);
        const auto start = std::chrono::steady_clock::now();
        m_register.reset();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 200ms);
    }
    // The stuck call finishes on its own thread and deletes the register there; a register
    // of the same file works meanwhile.
    CCardRegister other(m_settings, QStringLiteral("1.0"));
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    std::optional<std::vector<RegisterEntry>> rows;
    while (std::chrono::steady_clock::now() < deadline) {
        rows = other.List({});
        if (rows && rows->size() == 1) break;
        std::this_thread::sleep_for(20ms);
    }
    ASSERT_TRUE(rows.has_value()) << other.LastError().toStdString();
    EXPECT_EQ(rows->size(), 1u);
}

}  // namespace
