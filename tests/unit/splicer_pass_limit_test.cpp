#include "edit_window.h"
#include "pass.h"
#include "splicer_fixture.h"

#include <gtest/gtest.h>

namespace {

// The output of one pass with the window limit forced to limit.
std::string passOutput(ScratchDir &dir, const std::vector<std::string> &arguments,
                       std::int64_t limit) {
    bool usable = false;
    SplicerOptions options = sortSplicerArguments(arguments, usable);
    EXPECT_TRUE(usable);
    options.editedPath = dir.at("source");
    options.newFileGiven = true;
    options.outputPath = dir.at("out");
    if (options.textFromFile)
        options.text = dir.at(options.text);
    ioResult = 0;
    PassState state;
    openPassFiles(state, options);
    state.window.limit = limit;
    passOverLines(state, options);
    EXPECT_EQ(ioResult, 0);
    return dir.read("out");
}

TEST(SplicerPass, OutputDoesNotDependOnWhenTheWindowFlushes) {
    ScratchDir dir;
    std::string source;
    for (int i = 0; i < 300; ++i)
        source += (i % 7 == 0 ? "[Grp]\r\n" : "") + std::string("key") + std::to_string(i) +
                  "=a,b,a\r\n" + (i % 5 == 0 ? "\r\n\r\n" : "");
    source += std::string(20000, 'a') + "\rlast";
    dir.write("source", source);
    dir.write("lines", "p\r\nq");
    const std::vector<std::vector<std::string>> runs = {
        {"f", "key1", "ins"},
        {"f", "A", "xy", "/NOLIN"},
        {"f", "a,", "", "/NOLIN", "/REPL"},
        {"f", "key", "@lines", "/BEF"},
        {"f", "/LAST", "end", "/INIGR=grp"},
        {"f", "/FIRST", "top", "/INIGR=grp"},
        {"f", "/LAST", "tail"},
        {"f", "b", "@lines", "/NOLIN", "/BEF"},
    };
    for (const auto &arguments : runs) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        std::string reference = passOutput(dir, arguments, 10240);
        EXPECT_EQ(passOutput(dir, arguments, 0), reference);
        EXPECT_EQ(passOutput(dir, arguments, -7), reference);
        EXPECT_EQ(passOutput(dir, arguments, 3), reference);
    }
}

} // namespace
