// What the lfprog tests share: a virtual reader on a pseudo-terminal, a scratch folder that is
// also the data and configuration home of every lfprog the test starts (so no test touches the
// user's card register or the station's settings), and readers of lfprog's JSON lines.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <fstream>
#include <sstream>
#include <thread>

#include "CardFeeder.h"
#include "FreshChip.h"
#include "LfprogProcess.h"
#include "VirtualReader.h"

namespace lfprogtest {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNoReader = 3;
constexpr int kExitNoCard = 4;
constexpr int kExitDuplicate = 5;
constexpr int kExitRegister = 6;
constexpr int kExitBlankChip = 7;
constexpr int kExitNoFreeNumber = 8;

inline QJsonObject Json(const std::string& line) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << line;
    EXPECT_TRUE(document.isObject()) << line;
    return document.object();
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

// Every line of JSON output as an object.
inline std::vector<QJsonObject> JsonLines(const std::string& text) {
    std::vector<QJsonObject> objects;
    for (const std::string& line : Lines(text)) objects.push_back(Json(line));
    return objects;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The feeder takes the last card away on its own thread, after holding it for a moment.
inline unsigned FedAndWritten(const vsim::CardFeeder& feeder, unsigned expected) {
    using namespace std::chrono_literals;
    for (int i = 0; i < 100 && feeder.GetProgress().written < expected; ++i)
        std::this_thread::sleep_for(20ms);
    return feeder.GetProgress().written;
}

class Lfprog : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        // Every lfprog this test starts inherits them.
        setenv("XDG_DATA_HOME", m_dir.filePath("data").toLocal8Bit().constData(), 1);
        setenv("XDG_CONFIG_HOME", m_dir.filePath("config").toLocal8Bit().constData(), 1);
        ASSERT_TRUE(m_reader.Start());
        m_port = m_reader.Path();
    }

    vsim::ReaderEngine& Engine() { return m_reader.Engine(); }
    void PlaceFresh(int chipType = 9) { Engine().PlaceTransponder(vsim::MakeFreshChip(chipType)); }
    std::optional<uint64_t> CardOnField() {
        const auto field = Engine().FieldSnapshot();
        return field ? field->cardWord : std::nullopt;
    }
    // lfprog with the reader's port and --json after the given arguments.
    Result Run(std::vector<std::string> args) {
        args.insert(args.end(), {"--port", m_port, "--json"});
        return RunLfprog(args);
    }
    std::string ScratchPath(const char* name) const { return m_dir.filePath(name).toStdString(); }

    QTemporaryDir m_dir;
    vsim::VirtualReader m_reader;
    std::string m_port;
};

}  // namespace lfprogtest
