#include "valpick/options.h"

#include <gtest/gtest.h>

namespace {

struct Expected {
    std::string fileName;
    std::string group;
    std::string valueName;
    std::string text;
    std::string value;
    bool full, wholeLine;
};

struct OptionsCase {
    const char *name;
    std::vector<std::string> arguments;
    Expected expected;
};

TEST(ValpickOptions, SortsUsableCommandLines) {
    // Fields: fileName, group, valueName, text, value (the default), full, wholeLine
    const OptionsCase cases[] = {
        {"plain lookup",
         {"app.ini", "Boot", "Path"},
         {"app.ini", "[BOOT]", "PATH", "", "", false, false}},
        {"file name keeps its case",
         {"C:\\Data\\My.Ini", "boot", "path"},
         {"C:\\Data\\My.Ini", "[BOOT]", "PATH", "", "", false, false}},
        {"bracketed group kept", {"a", "[Boot]", "p"}, {"a", "[BOOT]", "P", "", "", false, false}},
        {"open bracket gets no closing one",
         {"a", "[Boot", "p"},
         {"a", "[BOOT", "P", "", "", false, false}},
        {"closing bracket only", {"a", "Boot]", "p"}, {"a", "[BOOT]]", "P", "", "", false, false}},
        {"default upper-cased",
         {"a", "g", "p", "/def=n/a"},
         {"a", "[G]", "P", "", "N/A", false, false}},
        {"later default replaces earlier",
         {"a", "g", "p", "/DEF=Off", "/DEF=on"},
         {"a", "[G]", "P", "", "ON", false, false}},
        {"empty default",
         {"a", "g", "p", "/DEF=x", "/DEF="},
         {"a", "[G]", "P", "", "", false, false}},
        {"unknown switches ignored",
         {"a", "g", "p", "/DEFAULT=x", "/FULL=1", "/FUL", "/?"},
         {"a", "[G]", "P", "", "", false, false}},
        {"line given twice is off",
         {"a", "g", "p", "/LINE", "/line"},
         {"a", "[G]", "P", "", "", false, false}},
        {"full toggled twice, line once",
         {"a", "g", "p", "/full", "/LINE", "/FULL"},
         {"a", "[G]", "P", "", "", false, true}},
        {"switches before the file name",
         {"/Full", "/Line", "a", "g", "p"},
         {"a", "[G]", "P", "", "", true, true}},
        {"text words joined by one blank",
         {"a", "g", "p", "Path", "is", "#"},
         {"a", "[G]", "P", "Path is #", "", false, false}},
        {"blanks inside one word kept",
         {"a", "g", "p", "x  y", "z"},
         {"a", "[G]", "P", "x  y z", "", false, false}},
        {"switch between text words leaves no trace",
         {"a", "g", "p", "set", "/LINE", "P=#"},
         {"a", "[G]", "P", "set P=#", "", false, true}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ValpickOptions o = sortValpickArguments(c.arguments);
        const Expected &e = c.expected;
        ASSERT_GE(o.positionalCount, valpickRequiredPositionals);
        EXPECT_EQ(o.fileName, e.fileName);
        EXPECT_EQ(o.group, e.group);
        EXPECT_EQ(o.valueName, e.valueName);
        EXPECT_EQ(o.text, e.text);
        EXPECT_EQ(o.value, e.value);
        EXPECT_EQ(o.full, e.full);
        EXPECT_EQ(o.wholeLine, e.wholeLine);
    }
}

TEST(ValpickOptions, FewerThanThreePositionalArgumentsAreNotUsable) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"/FULL", "/LINE", "/DEF=x"},
        {"app.ini"},
        {"app.ini", "/LINE", "Boot", "/DEF=x", "/FULL"},
    };
    for (const auto &arguments : cases) {
        ValpickOptions o = sortValpickArguments(arguments);
        EXPECT_LT(o.positionalCount, valpickRequiredPositionals)
            << ::testing::PrintToString(arguments);
    }
}

TEST(ValpickOptions, DefaultHoldsAtMost999Characters) {
    ValpickOptions o = sortValpickArguments({"a", "g", "p", "/DEF=" + std::string(1200, 'v')});
    EXPECT_EQ(o.value, std::string(999, 'V'));
}

} // namespace
