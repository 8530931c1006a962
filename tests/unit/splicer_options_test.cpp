#include "options.h"

#include <gtest/gtest.h>

namespace {

struct Expected {
    std::string sourcePath;
    std::string searchString;
    std::string text;
    bool textFromFile;
    std::string outputPath; // only for /NEW=
    std::string groupHeader;
    PositionMode position;
    bool replace, caseSensitive, onlyOnce, characterMode, insertBefore, groupGiven, newFileGiven;
};

struct OptionsCase {
    const char *name;
    std::vector<std::string> arguments;
    Expected expected;
};

constexpr auto hit = PositionMode::searchHit;
constexpr auto first = PositionMode::firstLine;
constexpr auto last = PositionMode::lastLine;

TEST(SplicerOptions, SortsUsableCommandLines) {
    // Fields: source, search, text, fromFile, output, group, position,
    //         replace, caseSensitive, once, characterMode, before, groupGiven, newFile
    const OptionsCase cases[] = {
        {"remove every hit",
         {"app.ini", "Path"},
         {"app.ini", "PATH", "", false, "", "", hit, true, false, false, false, false, false,
          false}},
        {"insert after hits",
         {"app.ini", "path", "Backup=1"},
         {"app.ini", "PATH", "Backup=1", false, "", "", hit, false, false, false, false, false,
          false, false}},
        {"case sensitive keeps case",
         {"app.ini", "Path", "x", "/C"},
         {"app.ini", "Path", "x", false, "", "", hit, false, true, false, false, false, false,
          false}},
        {"last without text removes nothing",
         {"app.ini", "/LAST"},
         {"app.ini", "", "", false, "", "", last, true, false, true, false, false, false, false}},
        {"first without text",
         {"app.ini", "/FIRST"},
         {"app.ini", "", "", false, "", "", first, true, false, true, false, false, false, false}},
        {"first sets once and before",
         {"app.ini", "/FIRST", "/REPL", "/BEF", "x=1"},
         {"app.ini", "", "x=1", false, "", "", first, false, false, true, false, true, false,
          false}},
        {"first in a group inserts after header",
         {"app.ini", "/FIRST", "/REPL", "/BEF", "x=1", "/INIGR=A"},
         {"app.ini", "", "x=1", false, "", "[A]", first, false, false, true, false, false, true,
          false}},
        {"last in a group inserts before the next header",
         {"app.ini", "/LAST", "z", "/INIGR=a"},
         {"app.ini", "", "z", false, "", "[A]", last, false, false, true, false, true, true,
          false}},
        {"first then last",
         {"a", "/FIRST", "/LAST", "t"},
         {"a", "", "t", false, "", "", last, false, false, true, false, true, false, false}},
        {"last then first",
         {"a", "/LAST", "/FIRST", "t"},
         {"a", "", "t", false, "", "", first, false, false, true, false, true, false, false}},
        {"lower-case switch, toggled twice",
         {"a", "/repl", "s", "t", "/REPL"},
         {"a", "S", "t", false, "", "", hit, false, false, false, false, false, false, false}},
        {"replace clears before",
         {"a", "s", "t", "/REPL", "/BEF"},
         {"a", "S", "t", false, "", "", hit, true, false, false, false, false, false, false}},
        {"switches anywhere",
         {"/NOLIN", "a", "/ONCE", "s", "/BEF", "t"},
         {"a", "S", "t", false, "", "", hit, false, false, true, true, true, false, false}},
        {"new file keeps its typed case",
         {"a", "s", "/new=out.ini"},
         {"a", "S", "", false, "out.ini", "", hit, true, false, false, false, false, false, true}},
        {"empty new file is standard output",
         {"a", "s", "/NEW="},
         {"a", "S", "", false, "", "", hit, true, false, false, false, false, false, true}},
        {"later new replaces earlier",
         {"a", "s", "/NEW=x", "/NEW=y"},
         {"a", "S", "", false, "y", "", hit, true, false, false, false, false, false, true}},
        {"group gets brackets",
         {"a", "s", "/INIGR=boot"},
         {"a", "S", "", false, "", "[BOOT]", hit, true, false, false, false, false, true, false}},
        {"bracketed group kept",
         {"a", "s", "/INIGR=[Boot]"},
         {"a", "S", "", false, "", "[BOOT]", hit, true, false, false, false, false, true, false}},
        {"open bracket gets no closing one",
         {"a", "s", "/INIGR=[boot"},
         {"a", "S", "", false, "", "[BOOT", hit, true, false, false, false, false, true, false}},
        {"closing bracket only",
         {"a", "s", "/INIGR=boot]"},
         {"a", "S", "", false, "", "[BOOT]]", hit, true, false, false, false, false, true, false}},
        {"empty group is the group []",
         {"a", "s", "/INIGR="},
         {"a", "S", "", false, "", "[]", hit, true, false, false, false, false, true, false}},
        {"text from a file",
         {"a", "s", "@List.txt"},
         {"a", "S", "List.txt", true, "", "", hit, false, false, false, false, false, false,
          false}},
        {"text from standard input",
         {"a", "s", "@"},
         {"a", "S", "", true, "", "", hit, false, false, false, false, false, false, false}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        bool usable = false;
        SplicerOptions o = sortSplicerArguments(c.arguments, usable);
        const Expected &e = c.expected;
        ASSERT_TRUE(usable);
        EXPECT_EQ(o.sourcePath, e.sourcePath);
        EXPECT_EQ(o.searchString, e.searchString);
        EXPECT_EQ(o.text, e.text);
        EXPECT_EQ(o.textFromFile, e.textFromFile);
        if (e.newFileGiven) {
            EXPECT_EQ(o.outputPath, e.outputPath);
        }
        EXPECT_EQ(o.groupHeader, e.groupHeader);
        EXPECT_EQ(o.position, e.position);
        EXPECT_EQ(o.replace, e.replace);
        EXPECT_EQ(o.caseSensitive, e.caseSensitive);
        EXPECT_EQ(o.onlyOnce, e.onlyOnce);
        EXPECT_EQ(o.characterMode, e.characterMode);
        EXPECT_EQ(o.insertBefore, e.insertBefore);
        EXPECT_EQ(o.groupGiven, e.groupGiven);
        EXPECT_EQ(o.newFileGiven, e.newFileGiven);
    }
}

TEST(SplicerOptions, RefusesUnusableCommandLines) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"app.ini"},
        {"app.ini", "a", "b", "c"},
        {"app.ini", "/FIRST", "x", "y"},
        {"app.ini", "s", "/REPLACE"},
        {"app.ini", "s", "/NEW"},
        {"app.ini", "s", "/ONCE2"},
        {"/BOGUS", "app.ini", "s"},
        {"/LAST"},
    };
    for (const auto &arguments : cases) {
        bool usable = true;
        sortSplicerArguments(arguments, usable);
        EXPECT_FALSE(usable) << ::testing::PrintToString(arguments);
    }
}

TEST(SplicerOptions, SwitchValuesHoldAtMost999Characters) {
    bool usable = false;
    SplicerOptions o = sortSplicerArguments({"a", "s", "/INIGR=" + std::string(1200, 'g')}, usable);
    EXPECT_EQ(o.groupHeader, "[" + std::string(999, 'G') + "]");
}

} // namespace
