// Input that no one should give: every run ends, within a time limit, with a clear report or the
// right result, and no file is changed beyond the promise.
#include "robustness.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

constexpr int timeLimitSeconds = 120;

// A Windows command line holds at most 32767 characters: a longer one cannot even start the
// program there.
bool fitsTheCommandLine(const Program &program, const std::vector<std::string> &arguments) {
    std::size_t length = 0;
    for (const std::string &a : arguments)
        length += a.size() + 3;
    return !program.emulated() || length < 32000;
}

// The lines of bytes as the programs read them, each ended by CR LF: a line ends at a CR and one
// LF right after it; a ^Z ends the data. A pass over no line at all still yields one.
std::string linesEndedByCrLf(const std::string &bytes) {
    std::string data = bytes.substr(0, bytes.find('\x1A'));
    std::string result;
    for (std::size_t at = 0; at < data.size();) {
        std::size_t end = data.find('\r', at);
        if (end == std::string::npos)
            end = data.size();
        result += data.substr(at, end - at) + "\r\n";
        at = end + 1;
        if (end < data.size() && at < data.size() && data[at] == '\n')
            ++at;
    }
    return result.empty() ? "\r\n" : result;
}

std::string allByteValues(int repeats) {
    std::string bytes;
    for (int r = 0; r < repeats; ++r)
        for (int b = 0; b < 256; ++b)
            if (b != 0x1A)
                bytes += static_cast<char>(b);
    return bytes;
}

// One run of SPLICER on app.ini.
struct BadInputCase {
    const char *name;
    std::string source; // app.ini before the run
    std::vector<std::string> arguments;
    int error = 0;      // the report's number, or 0 for a normal end
    std::string result; // app.ini after a normal end
};

TEST(RobustnessBadInput, SplicerEndsWithAReportOrTheRightResult) {
    const std::string hugeArgument(100000, 'q');
    const std::string longSearch(20000, 's');
    const std::string fiftyMegabytes(50 * 1024 * 1024, 'a');
    const std::string crOnly(100000, '\r');
    const std::string binary = allByteValues(40);
    const std::string tooLongName(300, 'n');
    std::string tooLongPath;
    while (tooLongPath.size() < 5000)
        tooLongPath += "folder/";
    const std::string plain = "a=1\r\nb=2\r\n";
    const BadInputCase cases[] = {
        {"an argument of 100,000 bytes as search string",
         plain,
         {"app.ini", hugeArgument},
         0,
         plain},
        {"an argument of 100,000 bytes as text",
         plain,
         {"app.ini", "b=", hugeArgument},
         0,
         plain + hugeArgument + "\r\n"},
        {"a line of 50 MB without line end",
         fiftyMegabytes + "hit",
         {"app.ini", "HIT", "X", "/NOLIN", "/REPL"},
         0,
         fiftyMegabytes + "X\r\n"},
        {"only CR bytes, blank lines held at the end",
         crOnly,
         {"app.ini", "/LAST", "z"},
         0,
         linesEndedByCrLf(crOnly) + "z\r\n"},
        {"only Ctrl+Z bytes", std::string(5000, '\x1A'), {"app.ini", "x"}, 0, "\r\n"},
        {"binary data with zero bytes, no hit",
         binary,
         {"app.ini", "no such text"},
         0,
         linesEndedByCrLf(binary)},
        {"binary data with zero bytes, hits",
         binary,
         {"app.ini", "\x7F", "!", "/NOLIN", "/C"},
         0,
         [&] {
             std::string expected = linesEndedByCrLf(binary);
             for (std::size_t at = expected.find('\x7F'); at != std::string::npos;
                  at = expected.find('\x7F', at + 2))
                 expected.insert(at + 1, "!");
             return expected;
         }()},
        {"a search string longer than the window",
         "x" + longSearch + "y\r\n" + longSearch + "\r\n",
         {"app.ini", longSearch, "R", "/NOLIN", "/REPL"},
         0,
         "xRy\r\nR\r\n"},
        {"a source name longer than a name may be", plain, {tooLongName, "a"}, 206, plain},
        {"a source path longer than a path may be",
         plain,
         {tooLongPath + "app.ini", "a"},
         206,
         plain},
        {"a /NEW= name longer than a name may be",
         plain,
         {"app.ini", "a", "/NEW=" + tooLongName},
         206,
         plain},
        {"a /NEW= path longer than a path may be",
         plain,
         {"app.ini", "a", "/NEW=" + tooLongPath + "out.ini"},
         206,
         plain},
        {"a directory as source", plain, {"folder", "a"}, 5, plain},
        {"a directory as /NEW= file", plain, {"app.ini", "a", "/NEW=folder"}, 5, plain},
    };
    for (const BadInputCase &c : cases) {
        SCOPED_TRACE(c.name);
        if (!fitsTheCommandLine(splicerProgram(), c.arguments))
            continue;
        TempDir dir;
        dir.write("app.ini", c.source);
        mkdir(dir.at("folder").c_str(), 0700);
        dir.write("folder/inside.txt", "kept\r\n");
        Files before = dir.snapshot();
        RunSettings settings;
        settings.timeoutSeconds = timeLimitSeconds;
        RunResult run = runWith(dir.path, splicerProgram(), c.arguments, settings);
        ASSERT_FALSE(run.timedOut);
        EXPECT_EQ(run.signal, 0);
        if (c.error == 0) {
            EXPECT_EQ(run.output, "");
            EXPECT_EQ(run.exitCode, 0);
        } else {
            EXPECT_TRUE(isRuntimeErrorReport(run.output, c.error)) << run.output;
            EXPECT_EQ(run.exitCode, exitCodeFor(c.error));
        }
        Files after = dir.snapshot();
        EXPECT_TRUE(sameBytes(after["app.ini"], c.result));
        EXPECT_TRUE(othersUnchanged(before, after, {"app.ini"}, {}));
    }
}

// A /NEW= name is taken whole, however long: the first 999 characters of this one name another
// file, which the run must not empty.
TEST(RobustnessBadInput, NewFileNameIsNeverShortened) {
    if (splicerProgram().emulated())
        GTEST_SKIP() << "a Windows path holds at most 259 characters";
    std::string padding;
    for (int i = 0; i < 495; ++i)
        padding += "./";
    const std::string longName = padding + "notes.txt.bak";
    ASSERT_EQ((padding + "notes.txt").size(), 999u);
    TempDir dir;
    dir.write("app.ini", "a=1\r\n");
    dir.write("notes.txt", "kept\r\n");
    RunResult run = runIn(dir.path, splicerProgram(), {"app.ini", "a", "b=2", "/NEW=" + longName});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(dir.snapshot(), (Files{{"app.ini", "a=1\r\n"},
                                     {"notes.txt", "kept\r\n"},
                                     {"notes.txt.bak", "a=1\r\nb=2\r\n"}}));
}

TEST(RobustnessBadInput, ValpickEndsWithAReportOrItsLine) {
    const std::string hugeArgument(100000, 'g');
    struct Case {
        const char *name;
        std::string file;
        std::vector<std::string> arguments;
        int error;
        std::string output; // the line of a normal end
    };
    const Case cases[] = {
        {"an argument of 100,000 bytes as group",
         "[G]\r\nx=1\r\n",
         {"app.ini", hugeArgument, "x", "/DEF=none"},
         0,
         "NONE\r\n"},
        {"an argument of 100,000 bytes as template",
         "[G]\r\nx=1\r\n",
         {"app.ini", "G", "x", hugeArgument + "#"},
         0,
         hugeArgument + "1\r\n"},
        {"a value of 50 MB without line end",
         "[G]\r\nx=" + std::string(50 * 1024 * 1024, 'v'),
         {"app.ini", "G", "x"},
         0,
         std::string(50 * 1024 * 1024, 'v') + "\r\n"},
        {"only CR bytes", std::string(100000, '\r'), {"app.ini", "G", "x", "/DEF=d"}, 0, "D\r\n"},
        {"only Ctrl+Z bytes", std::string(5000, '\x1A'), {"app.ini", "G", "x"}, 0, "\r\n"},
        {"binary data with zero bytes",
         "[G]\r\n" + allByteValues(20) + std::string("\r\nx=\x01\x00\xFF\r\n", 9),
         {"app.ini", "G", "x"},
         0,
         std::string("\x01\x00\xFF\r\n", 5)},
        {"a name longer than a name may be", "", {std::string(300, 'n'), "G", "x"}, 206, ""},
        {"a directory", "", {"folder", "G", "x"}, 5, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (!fitsTheCommandLine(valpickProgram(), c.arguments))
            continue;
        TempDir dir;
        dir.write("app.ini", c.file);
        mkdir(dir.at("folder").c_str(), 0700);
        Files before = dir.snapshot();
        RunSettings settings;
        settings.timeoutSeconds = timeLimitSeconds;
        RunResult run = runWith(dir.path, valpickProgram(), c.arguments, settings);
        ASSERT_FALSE(run.timedOut);
        if (c.error == 0) {
            EXPECT_TRUE(sameBytes(run.output, c.output));
            EXPECT_EQ(run.exitCode, 0);
        } else {
            EXPECT_TRUE(isRuntimeErrorReport(run.output, c.error)) << run.output;
            EXPECT_EQ(run.exitCode, exitCodeFor(c.error));
        }
        EXPECT_EQ(dir.snapshot(), before);
    }
}

} // namespace
