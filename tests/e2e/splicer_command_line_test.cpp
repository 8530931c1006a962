#include "harness.h"

#include <gtest/gtest.h>

namespace {

TEST(SplicerCommandLine, UnusableCommandLinesPrintUsage) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"app.ini"},
        {"app.ini", "a", "b", "c"},
        {"app.ini", "/FIRST", "x", "y"},
        {"app.ini", "path", "/REPLACE"},
        {"app.ini", "path", "/NEW"},
        {"app.ini", "path", "/ONCE2"},
        {"/x", "app.ini", "path"},
    };
    TempDir dir;
    dir.write("app.ini", crlf("[Main]¶Path=1¶"));
    for (const auto &arguments : cases) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        RunResult run = runIn(dir.path, splicerProgram(), arguments);
        EXPECT_EQ(run.output, splicerUsage);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(dir.read("app.ini"), crlf("[Main]¶Path=1¶"))
            << "a bad command line touches no file";
        EXPECT_EQ(dir.names(), std::vector<std::string>{"app.ini"});
    }
}

} // namespace

namespace {

TEST(SplicerCommandLine, ReportNamesTheFailingPlaceTheSameOnEveryRun) {
    TempDir dir;
    dir.write("app.ini", crlf("a=1¶"));
    RunResult missingSource = runIn(dir.path, splicerProgram(), {"missing.ini", "a"});
    RunResult again = runIn(dir.path, splicerProgram(), {"missing.ini", "a"});
    RunResult missingFolder = runIn(dir.path, splicerProgram(), {"none/missing.ini", "a"});
    RunResult missingText = runIn(dir.path, splicerProgram(), {"app.ini", "a", "@none.txt"});
    EXPECT_TRUE(isRuntimeErrorReport(missingSource.output, 2)) << missingSource.output;
    EXPECT_EQ(missingSource.exitCode, 2);
    EXPECT_TRUE(isRuntimeErrorReport(missingFolder.output, 3)) << missingFolder.output;
    EXPECT_EQ(missingFolder.exitCode, 3);
    EXPECT_EQ(again.output, missingSource.output);
    EXPECT_EQ(missingFolder.output.substr(21), missingSource.output.substr(21))
        << "the same check found both";
    EXPECT_TRUE(isRuntimeErrorReport(missingText.output, 2)) << missingText.output;
    EXPECT_NE(missingText.output.substr(21), missingSource.output.substr(21))
        << "another check, another place";
    EXPECT_EQ(dir.read("app.ini"), crlf("a=1¶"));
}

} // namespace
