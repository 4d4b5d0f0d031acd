// Virtual reader programs lay chips whose identifications are their own: two readers never
// hand out the same one, and a series given again numbers the same chips again.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct SimRun {
    int exit = -1;
    std::vector<std::string> ids;  // of the chips placed, in order
};

// Runs the program with options, places two chips and reads their identifications back.
SimRun PlaceTwoChips(const std::string& options) {
    char folder[] = "/tmp/chip-series-XXXXXX";
    if (mkdtemp(folder) == nullptr) return {};
    const std::string command = "printf 'place 9\\nplace 13\\n' | XDG_RUNTIME_DIR=" +
                                std::string(folder) + " " VEL_READER_SIM " " + options +
                                " 2>/dev/null";
    SimRun run;
    FILE* output = popen(command.c_str(), "r");
    if (output == nullptr) return run;
    char line[4096];
    while (std::fgets(line, sizeof line, output) != nullptr) {
        const std::string text = line;
        const size_t id = text.find(" id ");
        if (text.rfind("OK placed", 0) == 0 && id != std::string::npos)
            run.ids.push_back(text.substr(id + 4, 16));
    }
    const int status = pclose(output);
    run.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return run;
}

TEST(ChipSeries, TwoReadersHandOutDifferentIdentificationsAndASeriesRepeatsItsOwn) {
    const SimRun first = PlaceTwoChips("--name 'Desk 1'");
    const SimRun second = PlaceTwoChips("--name 'Desk 2'");
    ASSERT_EQ(first.ids.size(), 2u);
    ASSERT_EQ(second.ids.size(), 2u);
    for (const std::string& id : first.ids) {
        EXPECT_NE(id, second.ids[0]);
        EXPECT_NE(id, second.ids[1]);
    }
    EXPECT_EQ(PlaceTwoChips("--name 'Desk 1'").ids, first.ids);  // a name is a series

    // Series 7 counts from 7 * 2^20 + 1, the counter's bytes lowest first, then the chip type.
    const SimRun seven = PlaceTwoChips("--chip-series 7");
    EXPECT_EQ(seven.exit, 0);
    EXPECT_EQ(seven.ids, (std::vector<std::string>{"01007000095653E0", "020070000D5653E0"}));
    EXPECT_EQ(PlaceTwoChips("--chip-series 7 --name other").ids, seven.ids);
    EXPECT_NE(PlaceTwoChips("--chip-series 8").ids, seven.ids);
}

TEST(ChipSeries, ASeriesOutsideItsRangeIsRefused) {
    for (const char* series : {"0", "4096", "12345", "-1", "x", "7x"})
        EXPECT_EQ(PlaceTwoChips(std::string("--chip-series ") + series).exit, 2) << series;
}

}  // namespace
