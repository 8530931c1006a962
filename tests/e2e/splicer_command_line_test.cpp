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
