#include "edit.h"
#include "splicer_fixture.h"

#include <gtest/gtest.h>

namespace {

const std::string P = "\xC2\xB6"; // CR LF in the shown window

enum Switch : unsigned { none = 0, repl = 1, before = 2, chars = 4, fromFile = 8, once = 16 };

struct EditCase {
    const char *name;
    unsigned switches;
    std::string text;     // TEXT, or the text file's bytes with fromFile
    std::string search;   // upper-cased search string
    std::string finished; // window text before the cursor
    std::string line;     // the current line's unfinished text
    std::int64_t offset;
    int heldBlankLines;
    std::string expected; // the window afterwards, "|" at the cursor, ¶ for CR LF
};

TEST(ApplyEdit, EditsAtTheCursor) {
    const EditCase cases[] = {
        {"line insert after", none, "b=2", "A", "", "a=1", 0, 0, "a=1" + P + "b=2" + P + "|"},
        {"line insert before", before, "b=2", "A", "", "a=1", 0, 0, "b=2" + P + "a=1" + P + "|"},
        {"line replace", repl, "b=2", "A", "", "a=1", 0, 0, "b=2|" + P},
        {"line remove", repl, "", "A", "", "a=1", 0, 0, "|"},
        {"line replace by empty file keeps an empty line", repl | fromFile, "", "A", "", "a=1", 0,
         0, "|" + P},
        {"line insert of empty file inserts an empty line", fromFile, "", "A", "", "a=1", 0, 0,
         "a=1" + P + P + "|"},
        {"file lines after", fromFile, "p\r\nq\r\n", "A", "", "a=1", 0, 0,
         "a=1" + P + "p" + P + "q" + P + "|"},
        {"file without last line end", fromFile, "p\r\nq", "A", "", "a=1", 0, 0,
         "a=1" + P + "p" + P + "q" + P + "|"},
        {"file with a trailing empty line", fromFile, "p\r\nq\r\n\r\n", "A", "", "a=1", 0, 0,
         "a=1" + P + "p" + P + "q" + P + P + "|"},
        {"file lines replace", repl | fromFile, "p\r\nq\r\n", "A", "", "a=1", 0, 0,
         "p" + P + "q|" + P},
        {"file lines split a line in character mode", chars | fromFile, "p\r\nq\r\n", "A=", "",
         "a=1", 0, 0, "a=p" + P + "q|1" + P},
        {"file stops at ^Z", fromFile, "p\x1aq\r\n", "A", "", "a=1", 0, 0,
         "a=1" + P + "p" + P + "|"},
        {"held blank lines go after the text", before, "new", "", "", "[B]", 0, 2,
         "new" + P + P + P + "[B]" + P + "|"},
        {"character insert after", chars, "X", "A=", "", "a=1,a=2", 0, 0, "a=X|1,a=2" + P},
        {"character insert before", chars | before, "X", "A=", "", "a=1,a=2", 0, 0,
         "Xa=|1,a=2" + P},
        {"character replace", chars | repl, "X", "A=", "", "a=1,a=2", 0, 0, "X|1,a=2" + P},
        {"character remove", chars | repl, "", "A=", "", "a=1,a=2", 0, 0, "|1,a=2" + P},
        {"second hit on a line", chars, "X", "A=", "a=X", "1,a=2", 2, 0, "a=X1,a=X|2" + P},
        {"inserted text equal to the found text", chars, "a=", "A=", "", "a=1,a=2", 0, 0,
         "a=a=|1,a=2" + P},
        {"character mode without search string", chars | before, "T", "", "", "abc", 0, 0,
         "T|abc" + P},
        {"replace at the end of the window deletes nothing", repl, "", "", "a" + P, "", 0, 0,
         "a" + P + "|"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        ioResult = 0;
        SplicerOptions options;
        options.replace = c.switches & repl;
        options.insertBefore = c.switches & before;
        options.characterMode = c.switches & chars;
        options.textFromFile = c.switches & fromFile;
        options.onlyOnce = c.switches & once;
        options.searchString = c.search;
        PassState state;
        if (options.textFromFile) {
            dir.write("text", c.text);
            options.text = dir.at("text");
            assignName(state.textFile, options.text);
        } else {
            options.text = c.text;
        }
        state.window.finished = c.finished;
        state.currentLine = c.line;
        if (!(c.line.empty() && c.finished.size() > 0))
            state.window.unfinishedBuffer = c.line + "\r\n";
        state.heldBlankLines = c.heldBlankLines;
        applyEdit(state, options, c.offset);
        EXPECT_EQ(ioResult, 0);
        EXPECT_EQ(showWindow(state.window), c.expected);
        EXPECT_EQ(state.scopeState, 0);
    }
}

TEST(ApplyEdit, OnlyOnceFinishesThePassAfterAFullEdit) {
    SplicerOptions options;
    options.text = "t";
    options.onlyOnce = true;
    PassState state;
    state.scopeState = 1;
    state.currentLine = "x";
    state.window.unfinishedBuffer = "x\r\n";
    applyEdit(state, options, 0);
    EXPECT_EQ(state.scopeState, 2);
    EXPECT_EQ(showWindow(state.window), "x" + P + "t" + P + "|");
}

} // namespace
