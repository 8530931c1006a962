#include "harness.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

struct LookupCase {
    const char *name;
    std::string file;                   // contents of app.ini; ¶ is CR LF
    std::vector<std::string> arguments; // after the file name
    std::string output;                 // standard output; ¶ is CR LF
};

TEST(ValpickLookup, PrintsTheFirstEntryOfTheGroup) {
    const std::vector<std::string> boot = {"Boot", "Path", "/DEF=none"};
    const LookupCase cases[] = {
        {"lower-case header opens the group", "[boot]¶Path=1¶", boot, "1¶"},
        {"blank before the header", " [Boot]¶Path=1¶", boot, "NONE¶"},
        {"blank after the header", "[Boot] ¶Path=1¶", boot, "NONE¶"},
        {"comment after the header", "[Boot] ;main¶Path=1¶", boot, "NONE¶"},
        {"group typed without closing bracket", "[Boot¶Path=1¶", {"[boot", "Path"}, "1¶"},
        {"blanks stripped at both ends",
         "[Boot]¶Path = C:\\Boot  ¶",
         {"Boot", "Path"},
         "C:\\Boot¶"},
        {"full keeps blanks after =",
         "[Boot]¶Path = C:\\Boot  ¶",
         {"Boot", "Path", "/FULL"},
         " C:\\Boot  ¶"},
        {"line prints the entry as read",
         "[Boot]¶Path = C:\\Boot  ¶",
         {"Boot", "Path", "/LINE"},
         "Path = C:\\Boot  ¶"},
        {"line wins over full",
         "[Boot]¶Path = C:\\Boot  ¶",
         {"Boot", "Path", "/LINE", "/FULL"},
         "Path = C:\\Boot  ¶"},
        {"name of any case, value keeps its case",
         "[Boot]¶PATH=MixedCase¶",
         {"boot", "path"},
         "MixedCase¶"},
        {"longer name is another entry", "[Boot]¶Paths=1¶", boot, "NONE¶"},
        {"tab before = is no blank", "[Boot]¶Path\t=1¶", boot, "NONE¶"},
        {"name must start the line", "[Boot]¶ Path=1¶", boot, "NONE¶"},
        {"empty value beats the default", "[Boot]¶Path=¶", boot, "¶"},
        {"first entry wins", "[Boot]¶Path=1¶Path=2¶", boot, "1¶"},
        {"entry before any header", "Path=0¶[Boot]¶x=1¶", boot, "NONE¶"},
        {"entry of another group", "[Other]¶Path=9¶[Boot]¶x=1¶Path=1¶[Next]¶Path=3¶", boot, "1¶"},
        {"repeated header ends the group", "[Boot]¶x=1¶[Boot]¶Path=2¶", boot, "NONE¶"},
        {"group entered again", "[Boot]¶[Other]¶[Boot]¶Path=2¶", boot, "2¶"},
        {"unclosed bracket ends the group", "[Boot]¶[Other¶Path=1¶", boot, "NONE¶"},
        {"blank lines and comments passed over", "[Boot]¶¶;Path=0¶x=1¶Path=1¶", boot, "1¶"},
        {"tabs are not stripped", "[Boot]¶Path=\tx\t¶", {"Boot", "Path"}, "\tx\t¶"},
        {"last line without line end", "[Boot]¶Path=1", boot, "1¶"},
        {"empty file", "", boot, "NONE¶"},
        {"lines ending in LF alone make one line", "[Boot]\nPath=1\n", boot, "NONE¶"},
        {"^Z before the group ends the data", "[Other]¶x=1¶\x1A[Boot]¶Path=2¶", boot, "NONE¶"},
        {"value replaces the #",
         "[Boot]¶Path=C:\\x¶",
         {"Boot", "Path", "set", "P=#;"},
         "set P=C:\\x;¶"},
        {"value appended without a blank",
         "[Boot]¶Path=1¶",
         {"Boot", "Path", "Value:"},
         "Value:1¶"},
        {"only the first # replaced",
         "[Boot]¶Path=1¶",
         {"Boot", "Path", "#,", "and", "#"},
         "1, and #¶"},
        {"nothing found and no default", "[Boot]¶x=1¶", {"Boot", "Path", "a#b"}, "ab¶"},
        {"nothing found, no default, no text", "[Boot]¶x=1¶", {"Boot", "Path"}, "¶"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        dir.write("app.ini", crlf(c.file));
        std::vector<std::string> arguments = {"app.ini"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        RunResult run = runIn(dir.path, valpickProgram(), arguments);
        EXPECT_EQ(run.output, crlf(c.output));
        EXPECT_EQ(run.exitCode, 0);
    }
}

TEST(ValpickLookup, ReadsLongLinesWhole) {
    // Blanks around a value of 1,500 bytes, so the line spans many read blocks.
    std::string value = "v";
    for (int i = 0; value.size() < 1500; ++i)
        value += static_cast<char>('a' + i % 26);
    value += "z";
    TempDir dir;
    dir.write("app.ini", crlf("[Boot]¶Path =   " + value + "   ¶"));
    RunResult run = runIn(dir.path, valpickProgram(), {"app.ini", "Boot", "Path"});
    EXPECT_EQ(run.output, value + "\r\n");
    EXPECT_EQ(run.exitCode, 0);
}

TEST(ValpickLookup, FindsTheGroupAtTheEndBehindManyOthers) {
    std::string file;
    for (int i = 0; i < 3000; ++i) {
        std::string n = std::to_string(i);
        file += "[Group" + n + "]¶Path=" + n + "¶; [Boot]¶Name=Boot¶¶";
    }
    file += "[Boot]¶Other=x¶Path=found¶";
    TempDir dir;
    dir.write("app.ini", crlf(file));
    RunResult run = runIn(dir.path, valpickProgram(), {"app.ini", "Boot", "Path"});
    EXPECT_EQ(run.output, "found\r\n");
    EXPECT_EQ(run.exitCode, 0);
}

TEST(ValpickLookup, OpensAFileNameWithBlanks) {
    TempDir dir;
    dir.write("My Settings.ini", crlf("[Boot]¶Path=1¶"));
    RunResult run = runIn(dir.path, valpickProgram(), {"My Settings.ini", "Boot", "Path"});
    EXPECT_EQ(run.output, "1\r\n");
    EXPECT_EQ(run.exitCode, 0);
}

TEST(ValpickLookup, StopsReadingAtTheFirstHit) {
    if (valpickProgram().emulated())
        GTEST_SKIP() << "feeds the file through a named pipe, which only a native POSIX build "
                        "opens as a file";
    TempDir dir;
    std::string feed = dir.at("feed.ini");
    ASSERT_EQ(mkfifo(feed.c_str(), 0600), 0);
    // A program that fails before reading everything must not kill the test with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);

    // The writer sends the lines up to the hit and keeps the pipe open without sending more, so
    // a program that reads on after the hit waits until the writer gives up.
    std::atomic<bool> programEnded{false};
    bool heldUntilEnd = false;
    std::thread writer([&] {
        const std::string head = crlf("[Boot]¶x=1¶Path=1¶");
        auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        int fd = -1;
        while (fd < 0 && !programEnded && std::chrono::steady_clock::now() < giveUp) {
            fd = open(feed.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (fd < 0)
            return;
        ssize_t written = write(fd, head.data(), head.size());
        (void)written;
        while (!programEnded && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        heldUntilEnd = programEnded;
        close(fd);
    });
    RunResult run = runIn(dir.path, valpickProgram(), {"feed.ini", "Boot", "Path"});
    programEnded = true;
    writer.join();
    EXPECT_EQ(run.output, "1\r\n");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(heldUntilEnd) << "VALPICK went on reading after the hit";
}

TEST(ValpickLookup, UnreadableFileEndsWithTheReportAndNoValueLine) {
    struct FailureCase {
        const char *name;
        std::string fileName;
        int number;
    };
    const FailureCase cases[] = {
        {"missing file", "missing.ini", 2},
        {"missing folder", "nowhere/app.ini", 3},
    };
    TempDir dir;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        RunResult run =
            runIn(dir.path, valpickProgram(), {c.fileName, "Boot", "Path", "/DEF=x", "value:"});
        EXPECT_TRUE(isRuntimeErrorReport(run.output, c.number)) << run.output;
        EXPECT_EQ(run.exitCode, c.number);
    }
    EXPECT_TRUE(dir.names().empty()) << "a failed lookup creates no file";
}

TEST(ValpickCommandLine, FewerThanThreePositionalArgumentsPrintUsage) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"/LINE", "/FULL", "/DEF=x"},
        {"app.ini"},
        {"/FULL", "app.ini", "/DEF=x", "Boot", "/LINE"},
        {"missing.ini", "Boot"}, // the file is not opened
    };
    TempDir dir;
    dir.write("app.ini", crlf("[Boot]¶Path=1¶"));
    for (const auto &arguments : cases) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        RunResult run = runIn(dir.path, valpickProgram(), arguments);
        EXPECT_EQ(run.output, valpickUsage);
        EXPECT_EQ(run.exitCode, 0);
    }
}

TEST(ValpickLookup, ChangesNoFile) {
    TempDir dir;
    const std::string contents = crlf("[Boot]¶Path = 1 ¶[Other]¶Path=2¶");
    dir.write("app.ini", contents);
    dir.write("other.ini", "x");
    // Read-only, so that an open with write access would fail; VALPICK only reads.
    ASSERT_EQ(chmod(dir.at("app.ini").c_str(), 0400), 0);
    const std::vector<std::vector<std::string>> commandLines = {
        {"app.ini", "Boot", "Path"},
        {"app.ini", "Boot", "Path", "/LINE", "/FULL"},
        {"app.ini", "Missing", "Path", "/DEF=x", "#.ini"},
        {"app.ini", "Boot"},
    };
    const std::string outputs[] = {"1\r\n", "Path = 1 \r\n", "X.ini\r\n", valpickUsage};
    for (std::size_t i = 0; i < commandLines.size(); ++i) {
        SCOPED_TRACE(::testing::PrintToString(commandLines[i]));
        RunResult run = runIn(dir.path, valpickProgram(), commandLines[i]);
        EXPECT_EQ(run.output, outputs[i]);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(dir.names(), (std::vector<std::string>{"app.ini", "other.ini"}));
        EXPECT_EQ(dir.read("app.ini"), contents);
        EXPECT_EQ(dir.read("other.ini"), "x");
    }
}

} // namespace
