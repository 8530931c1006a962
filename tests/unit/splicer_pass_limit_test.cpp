#include "edit_window.h"
#include "pass.h"
#include "splicer_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// The output of one pass with the window limit forced to limit; lineByLine passes even the
// lines that no edit touches through the pass one at a time.
std::string passOutput(ScratchDir &dir, const std::vector<std::string> &arguments,
                       std::int64_t limit, bool lineByLine = false) {
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
    state.skipUnchangedLines = !lineByLine;
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

// A source of several read blocks (64 KiB each) with what ends a run of unchanged lines placed
// around the blocks' edges: hits, group headers, lone CRs, a CR LF cut by an edge, LF inside a
// line, a line longer than a block, ^Z, and a last line without its end.
std::string blockEdgeSource() {
    constexpr std::size_t block = 64 * 1024;
    std::string text;
    int number = 0;
    // Ordinary lines up to the offset at, then piece.
    auto fillTo = [&](std::size_t at, const std::string &piece) {
        for (; text.size() + 24 < at; ++number)
            text += "key" + std::to_string(number) + (number % 11 == 0 ? "=path" : "=v") + "\r\n";
        text += std::string(at - text.size(), 'f') + piece;
    };
    fillTo(100, "\r\n[Grp]\r\n");
    fillTo(block - 1, "\r\nnext=1\r\n");       // CR LF cut by the first edge
    fillTo(2 * block - 2, "\r\n[Grp2]\r\n");   // a header right at the second edge
    fillTo(3 * block - 3, "pa");                  // a hit cut by the third edge
    text += "th=1\r\nlone\rcr\r\nlf\ninside\r\n\n\r\n";
    fillTo(4 * block - 1, "\r");                 // a lone CR as a block's last byte
    text += "x\r\n[grp]\r\n" + std::string(block + 10, 'L') + "path\r\n\r\n\r\n";
    fillTo(6 * block, "\r\n[Other]\r\nk=path\r\n");
    fillTo(7 * block + 5, "\r\nend\x1A[Grp]\r\npath\r\n");
    return text;
}

TEST(SplicerPass, UnchangedLinesTakenAtOnceGiveTheOutputOfSingleLines) {
    ScratchDir dir;
    dir.write("lines", "p\r\nq");
    const std::string sources[] = {
        blockEdgeSource(),
        blockEdgeSource().substr(0, 4 * 64 * 1024 + 3), // ends in the middle of a line
        "a\rb\r\n\rpath\r",                           // lone CRs only
        "path\r\n" + std::string(62, 'f') + "path\r\nk\r\n", // a hit across a 64-byte group's end
        "",
    };
    const std::vector<std::vector<std::string>> runs = {
        {"f", "path", "ins"},
        {"f", "PATH", "ins", "/C"},
        {"f", "path", "/INIGR=grp"},
        {"f", "path", "@lines", "/INIGR=Grp2", "/ONCE"},
        {"f", "th=1", "t", "/NOLIN", "/REPL"},
        {"f", "/FIRST", "top", "/INIGR=other"},
        {"f", "/LAST", "end", "/INIGR=grp"},
        {"f", "/LAST", "end"},
        {"f", "lf\ninside", "hit", "/BEF"}, // a search string with an LF in it
    };
    for (std::size_t i = 0; i < std::size(sources); ++i) {
        dir.write("source", sources[i]);
        for (const auto &arguments : runs) {
            SCOPED_TRACE("source " + std::to_string(i) + " " + ::testing::PrintToString(arguments));
            std::string atOnce = passOutput(dir, arguments, 10240);
            std::string single = passOutput(dir, arguments, 10240, true);
            // The outputs are long: the first difference tells where it went wrong.
            auto differ = std::mismatch(atOnce.begin(), atOnce.end(), single.begin(), single.end());
            std::size_t at = static_cast<std::size_t>(differ.first - atOnce.begin());
            EXPECT_TRUE(atOnce == single)
                << "first difference at byte " << at << ": "
                << ::testing::PrintToString(atOnce.substr(at > 20 ? at - 20 : 0, 60)) << " against "
                << ::testing::PrintToString(single.substr(at > 20 ? at - 20 : 0, 60));
        }
    }
}

} // namespace
