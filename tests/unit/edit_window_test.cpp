#include "edit_window.h"
#include "splicer_fixture.h"

#include <gtest/gtest.h>

namespace {

// A pass state reading input and writing to the file "out".
struct WindowFixture : ::testing::Test {
    ScratchDir dir;
    PassState state;
    void start(const std::string &input) {
        ioResult = 0;
        dir.write("in", input);
        assignName(state.inputFile, dir.at("in"));
        openForReading(state.inputFile);
        assignName(state.outputFile, dir.at("out"));
        openForWriting(state.outputFile);
        ASSERT_EQ(ioResult, 0);
    }
    std::string written() {
        close(state.outputFile);
        return dir.read("out");
    }
};

TEST_F(WindowFixture, LineFillsWindowUpToLimitWithoutFlush) {
    start("12345678\r\n123456789\r\n");
    state.window.finished = std::string(10230, 'f');
    readLineIntoWindow(state);
    EXPECT_EQ(content(state.window).size(), 10240u) << "8 + 2 more reach the limit exactly";
    EXPECT_EQ(cursor(state.window), 10231);
    cursorToEnd(state);
    state.window.finished.resize(10230);
    readLineIntoWindow(state);
    EXPECT_EQ(showWindow(state.window), "|123456789\xC2\xB6") << "9 + 2 more flush first";
    EXPECT_EQ(written(), std::string(10230, 'f'));
}

TEST_F(WindowFixture, LongLineArrivesInAFlushedWindowAndStaysWhole) {
    std::string longLine(30000, 'L');
    start("short\r\n" + longLine + "\r\n");
    readLineIntoWindow(state);
    cursorToEnd(state);
    readLineIntoWindow(state);
    EXPECT_EQ(state.window.finished, "");
    EXPECT_EQ(std::string(unfinishedText(state.window)), longLine + "\r\n");
    cursorToEnd(state);
    flushWindow(state);
    EXPECT_EQ(written(), "short\r\n" + longLine + "\r\n");
}

TEST_F(WindowFixture, InsertBeforeCurrentLineFlushesOnlyFinishedText) {
    start("current\r\n");
    state.window.limit = 10;
    state.window.finished = "finished";
    readLineIntoWindow(state); // flushes: 8 + 9 > 10
    state.window.finished = "12345678";
    insertAtCursor(state, "inserted");
    EXPECT_EQ(showWindow(state.window), "inserted|current\xC2\xB6");
    EXPECT_EQ(written(), "finished12345678");
}

TEST_F(WindowFixture, CursorAndDeletionEdges) {
    start("ab\r\n");
    flushWindow(state);
    EXPECT_EQ(showWindow(state.window), "|") << "a flush at cursor 1 changes nothing";
    readLineIntoWindow(state);
    advanceCursor(state, 2);
    deleteAtCursor(state, 2);
    EXPECT_EQ(showWindow(state.window), "ab|") << "the final CR LF is deleted";
    deleteAtCursor(state, 5);
    EXPECT_EQ(showWindow(state.window), "ab|") << "nothing after the cursor to delete";
    insertAtCursor(state, "");
    EXPECT_EQ(showWindow(state.window), "ab|");
    readLineIntoWindow(state);
    EXPECT_EQ(state.currentLine, "") << "at the end of the input";
    EXPECT_EQ(showWindow(state.window), "ab|\xC2\xB6");
    deleteAtCursor(state, -1);
    EXPECT_EQ(showWindow(state.window), "ab|\xC2\xB6");
}

TEST_F(WindowFixture, EmptyInsertFlushesOnlyWhenFinishedTextExceedsLimit) {
    start("");
    state.window.limit = 4;
    state.window.finished = "1234";
    insertAtCursor(state, "");
    EXPECT_EQ(state.window.finished, "1234");
    state.window.finished = "12345";
    insertAtCursor(state, "");
    EXPECT_EQ(state.window.finished, "");
    EXPECT_EQ(written(), "12345");
}

} // namespace
