// Surroundings that fail: a full disk, a file size limit, a read-only file system, standard
// streams closed or full. Each run ends with its number as exit code (and the report, where
// standard output can take it), and the source stays as it was.
#include "robustness.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>

namespace {

// A source whose result (an insert after every line) is about three times its 100 KB.
const std::string bigSource = [] {
    std::string text;
    for (int i = 0; i < 1000; ++i)
        text += "line" + std::to_string(i) + std::string(94, '.') + "\r\n";
    return text;
}();
const std::vector<std::string> growingRun = {"app.ini", "line", std::string(200, '+')};

// Checks a run that failed with number: the report (when standard output could take it), the
// exit code, the source untouched and at most a temporary file beside it.
void expectFailureKeptSource(const RunResult &run, int number, const Files &before,
                             const Files &after) {
    EXPECT_TRUE(isRuntimeErrorReport(run.output, number)) << run.output;
    EXPECT_EQ(run.exitCode, exitCodeFor(number));
    EXPECT_TRUE(othersUnchanged(before, after, {temporaryName}, {temporaryName}));
}

// A small file system of its own, where the test may mount one: as root, in a mount namespace
// of this test process alone, so that nothing shows outside and it vanishes with the process.
// An emulated program cannot use it: Wine opens files in its server, outside that namespace.
struct SmallFileSystem {
    explicit SmallFileSystem(std::size_t bytes) {
        if (splicerProgram().emulated())
            return;
        static const bool ownNamespace =
            unshare(CLONE_NEWNS) == 0 &&
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        std::string options = "size=" + std::to_string(bytes) + ",mode=0700";
        mounted =
            ownNamespace && mount("tmpfs", dir.path.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallFileSystem() {
        if (mounted)
            umount2(dir.path.c_str(), MNT_DETACH);
    }
    bool makeReadOnly() {
        return mount(nullptr, dir.path.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    TempDir dir;
    bool mounted = false;
};

TEST(RobustnessFileSystem, FullDiskEndsWithTheReportAndKeepsTheSource) {
    SmallFileSystem small(256 * 1024);
    if (!small.mounted)
        GTEST_SKIP() << "no file system of this test's own for this program";
    small.dir.write("app.ini", bigSource);
    Files before = small.dir.snapshot();
    RunResult run = runIn(small.dir.path, splicerProgram(), growingRun);
    expectFailureKeptSource(run, 112, before, small.dir.snapshot());
}

// Sets the file size limit of the programs started while it lives (and of this process, which
// writes nothing large meanwhile).
struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &previous);
        rlimit limit = previous;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &previous); }
    rlimit previous{};
};

TEST(RobustnessFileSystem, FileSizeLimitEndsWithTheReportAndKeepsTheSource) {
    if (splicerProgram().emulated())
        GTEST_SKIP() << "the file size limit is POSIX's";
    TempDir dir;
    dir.write("app.ini", bigSource);
    Files before = dir.snapshot();
    RunResult run;
    {
        FileSizeLimit limit(150 * 1024);
        run = runIn(dir.path, splicerProgram(), growingRun);
    }
    expectFailureKeptSource(run, 223, before, dir.snapshot());
}

TEST(RobustnessFileSystem, ReadOnlyFileSystemEndsWithTheReportAndKeepsTheSource) {
    SmallFileSystem small(256 * 1024);
    if (!small.mounted)
        GTEST_SKIP() << "no file system of this test's own for this program";
    small.dir.write("app.ini", "a=1\r\n");
    ASSERT_TRUE(small.makeReadOnly());
    Files before = small.dir.snapshot();
    RunResult run = runIn(small.dir.path, splicerProgram(), {"app.ini", "a", "b=2"});
    expectFailureKeptSource(run, 19, before, small.dir.snapshot());
    EXPECT_EQ(small.dir.snapshot(), before) << "not even a temporary file";
}

// Standard streams that a run starts without, or that cannot take a byte. The exit code still
// carries the number; no file of the run receives what was meant for standard output. (A closed
// descriptor is a POSIX notion: Wine hands an emulated program streams of its own.)
TEST(RobustnessFileSystem, StandardStreamsClosedOrFull) {
    struct Case {
        const char *name;
        bool splicer;
        std::vector<std::string> arguments;
        bool stdinClosed;
        bool stdoutClosed;
        std::string stdoutPath;
        int exitCode;
        Files after; // the files that differ from before the run
    };
    const Case cases[] = {
        {"VALPICK's line to a closed standard output",
         false,
         {"app.ini", "G", "x"},
         false,
         true,
         "",
         103,
         {}},
        {"VALPICK's line with standard input and output closed",
         false,
         {"app.ini", "G", "x"},
         true,
         true,
         "",
         103,
         {}},
        {"VALPICK's line to a full device",
         false,
         {"app.ini", "G", "x"},
         false,
         false,
         "/dev/full",
         112,
         {}},
        {"SPLICER's result to a full device",
         true,
         {"app.ini", "x", "y", "/NEW="},
         false,
         false,
         "/dev/full",
         112,
         {}},
        {"SPLICER's report with standard output closed",
         true,
         {"missing.ini", "x"},
         false,
         true,
         "",
         2,
         {}},
        {"SPLICER's report with standard input and output closed",
         true,
         {"app.ini", "x", "@missing.txt", "/NEW=OUT.INI"},
         true,
         true,
         "",
         2,
         {{"OUT.INI", ""}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if ((c.stdinClosed || c.stdoutClosed) && splicerProgram().emulated())
            continue;
        TempDir dir;
        dir.write("app.ini", "[G]\r\nx=1\r\n");
        Files expected = dir.snapshot();
        for (const auto &[name, bytes] : c.after)
            expected[name] = bytes;
        RunSettings settings;
        settings.stdinClosed = c.stdinClosed;
        settings.stdoutClosed = c.stdoutClosed;
        settings.stdoutPath = c.stdoutPath;
        RunResult run = runWith(dir.path, c.splicer ? splicerProgram() : valpickProgram(),
                                c.arguments, settings);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(dir.snapshot(), expected);
    }
}

} // namespace
