#include "project/pathutil.h"
#include "project/spkcolor.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;

namespace {

TEST(EncodeFileNameWinTest, EscapesUnsafeCharactersAndReservedNames) {
    struct Case {
        std::string in;
        std::string out;
    };
    const std::vector<Case> cases = {
        {"a/b:c", "a%2fb%3ac"},
        {"con", "%63%6f%6e"},
        {"CON", "%43%4f%4e"},
        {"Clock$", "%43%6c%6f%63%6b%24"},
        {"lpt1", "%6c%70%74%31"},
        {"COM10", "COM10"},
        {"LPT2", "LPT2"},
        {"con.txt", "con.txt"},
        {"100% \\ * ? \" < > |", "100%25 %5c %2a %3f %22 %3c %3e %7c"},
        {"tab\there\nline\r", "tab%09here%0aline%0d"},
        {"Ünïcödé 日本", "Ünïcödé 日本"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(pathutil::encodeFileNameWin(c.in), c.out) << c.in;
    }
}

TEST(ValidPathTest, FindsTheFirstFreeNumberedVariant) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    auto touch = [&](const std::string& name) { std::ofstream(root / name) << "x"; };
    fs::create_directory(root / "My Project");
    fs::create_directory(root / "Project-20240101");
    fs::create_directory(root / "Project-20240101(1)");
    touch("Report.final");
    touch(".hidden");
    touch("a.tar.gz");

    struct Case {
        std::string candidate;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"Free", "Free"},
        {"My Project", "My Project(1)"},
        {"Project-20240101", "Project-20240101(2)"},
        {"Report.final", "Report(1).final"},
        {".hidden", ".hidden(1)"},
        {"a.tar.gz", "a.tar(1).gz"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(validPath(root / c.candidate), root / c.expected) << c.candidate;
    }
    EXPECT_EQ(validPath(root / "My Project" / ""), root / "My Project(1)");
}

TEST(SpkColorTest, PaletteWrapsEveryFiftyFive) {
    struct Case {
        int n;
        const char* color;
    };
    const std::vector<Case> cases = {{0, "#A22A2B"},  {1, "#010101"},  {30, "#FFD700"}, {54, "#81FFD5"},
                                     {55, "#A22A2B"}, {56, "#010101"}, {-1, "#81FFD5"}};
    for (const auto& c : cases) {
        EXPECT_EQ(spkcolor(c.n), c.color) << c.n;
    }
}

} // namespace
