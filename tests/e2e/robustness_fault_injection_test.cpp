// Runs SPLICER and VALPICK with one platform call made to fail, for every call of each kind that
// a run makes, in a build that can fail calls on demand (see foundation/src/fault_injection.h).
// Whatever fails, the run ends with the report of that number and its exit code, and no byte of
// any file is lost: SPLICER's source is untouched, or replaced whole by the result (left in the
// temporary file only when the rename after the erase is what failed); VALPICK changes nothing
// and prints no value line.
#include "robustness.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

// One kind of call, and the error number it fails with.
struct Injection {
    const char *call;
    int number;         // the number the system gives for the failure
    int reportedNumber; // the number the run reports
    bool persistent;    // every later call of the kind fails too
};

// A memory request fails as an exhausted heap does: the run reports 203, whatever the system's
// number. Memory that stays exhausted may not even leave room for the report.
const Injection spliceInjections[] = {
    {"create", 5, 5, false},      {"read", 1117, 1117, false}, {"write", 112, 112, false},
    {"flush", 1117, 1117, false}, {"close", 6, 6, false},      {"delete", 5, 5, false},
    {"move", 5, 5, false},        {"alloc", 8, 203, false},    {"alloc", 8, 203, true},
};
const Injection lookupInjections[] = {
    {"create", 32, 32, false}, {"read", 1117, 1117, false}, {"write", 112, 112, false},
    {"alloc", 8, 203, false},  {"alloc", 8, 203, true},
};

// What the run had done when the failure was injected, from the log line
// "<call> <n> <number> create=<count> read=<count> ...".
struct Firing {
    bool fired = false;
    std::map<std::string, long> callsMade;
};

Firing readFiring(const TempDir &logs) {
    Firing firing;
    std::string line = logs.read("log");
    if (line == "<missing>")
        return firing;
    firing.fired = true;
    std::istringstream words(line);
    std::string word;
    for (int skipped = 0; skipped < 3 && words >> word; ++skipped) {
    }
    while (words >> word) {
        auto equals = word.find('=');
        firing.callsMade[word.substr(0, equals)] = std::stol(word.substr(equals + 1));
    }
    return firing;
}

RunResult runInjected(const TempDir &dir, const Program &program,
                      const std::vector<std::string> &arguments, const Injection &injection, long n,
                      const TempDir &logs) {
    RunSettings settings;
    settings.environment = {"FAULT_INJECTION=" + std::string(injection.call) + ":" +
                                std::to_string(n) + (injection.persistent ? "+" : "") + ":" +
                                std::to_string(injection.number),
                            "FAULT_INJECTION_LOG=" + logs.at("log")};
    return runWith(dir.path, program, arguments, settings);
}

// A failure report of number, and its exit code. The report of memory that stays exhausted may
// be lost: it needs memory too.
::testing::AssertionResult endsWithReport(const RunResult &run, const Injection &injection) {
    if (run.exitCode != exitCodeFor(injection.reportedNumber))
        return ::testing::AssertionFailure() << "exit code " << run.exitCode << ", signal "
                                             << run.signal << ", output: " << run.output;
    if (isRuntimeErrorReport(run.output, injection.reportedNumber))
        return ::testing::AssertionSuccess();
    if (injection.persistent && run.output.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "output: " << run.output;
}

void writeFiles(const TempDir &dir, const Files &files) {
    for (const auto &[name, bytes] : files)
        dir.write(name, bytes);
}

// True when this build of the program fails calls on demand.
bool canInjectFaults(const Program &program) {
    TempDir dir, logs;
    runInjected(dir, program, {}, {"alloc", 8, 203, false}, 1, logs);
    return readFiring(logs).fired;
}

// An INI file of lineCount long lines, more than one read block: reads and window flushes come
// several times, memory requests only a few times per line. [Other] holds the short Path entry
// near the end.
std::string largeIni(int lineCount, std::size_t lineLength) {
    std::string text = "[Main]\r\n";
    for (int i = 0; i < lineCount; ++i) {
        text += "key" + std::to_string(i) + "=" +
                std::string(lineLength, static_cast<char>('a' + i % 26));
        text += i % 9 == 4 ? " path\r\n" : "\r\n";
        if (i == lineCount * 3 / 4)
            text += "\r\n[Other]\r\n";
        if (i == lineCount - 3)
            text += "Path = C:\\x\r\n";
    }
    return text;
}

const Files spliceFiles = {
    {"app.ini", largeIni(80, 900)},
    {"ins.txt", "p=1\r\nq=2\r\n"},
    {"notes.txt", "not to be touched\r\n"},
};
const Files lookupFiles = {
    {"app.ini", largeIni(24, 3500)},
    {"notes.txt", "not to be touched\r\n"},
};

struct SpliceRun {
    const char *name;
    std::vector<std::string> arguments;
    std::string newFile; // the /NEW= file, or empty when the result replaces app.ini
};

TEST(RobustnessFaults, SplicerLosesNoByteWhicheverCallFails) {
    Program splicer = splicerProgram();
    if (!canInjectFaults(splicer))
        GTEST_SKIP() << "this build cannot fail platform calls on demand";
    const SpliceRun runs[] = {
        {"replace the source", {"app.ini", "path", "Backup=1"}, ""},
        {"text file into a new file", {"app.ini", "PATH", "@ins.txt", "/NEW=OUT.INI"}, "OUT.INI"},
        {"text file at a group's end", {"app.ini", "/LAST", "@ins.txt", "/INIGR=Main"}, ""},
    };
    for (const SpliceRun &spliceRun : runs) {
        SCOPED_TRACE(spliceRun.name);
        TempDir reference;
        writeFiles(reference, spliceFiles);
        RunResult normal = runWith(reference.path, splicer, spliceRun.arguments, {});
        ASSERT_EQ(normal.exitCode, 0) << normal.output;
        const Files normalEnd = reference.snapshot();
        const std::string result =
            normalEnd.at(spliceRun.newFile.empty() ? "app.ini" : spliceRun.newFile);

        for (const Injection &injection : spliceInjections) {
            for (long n = 1;; ++n) {
                SCOPED_TRACE(std::string(injection.call) + " " + std::to_string(n) +
                             (injection.persistent ? " and later" : ""));
                TempDir dir, logs;
                writeFiles(dir, spliceFiles);
                RunResult run = runInjected(dir, splicer, spliceRun.arguments, injection, n, logs);
                Firing firing = readFiring(logs);
                Files after = dir.snapshot();
                if (!firing.fired) {
                    // The run made fewer such calls: it ends as without any failure.
                    EXPECT_EQ(run.exitCode, 0) << run.output;
                    EXPECT_EQ(after, normalEnd);
                    break;
                }
                EXPECT_TRUE(endsWithReport(run, injection));
                if (spliceRun.newFile.empty()) {
                    long erases = firing.callsMade["delete"] -
                                  (std::string(injection.call) == "delete" ? 1 : 0);
                    EXPECT_TRUE(sourceKept(spliceFiles, after, "app.ini", result, erases > 0));
                } else {
                    EXPECT_TRUE(othersUnchanged(spliceFiles, after, {spliceRun.newFile},
                                                {spliceRun.newFile}));
                }
                if (::testing::Test::HasFailure())
                    return; // one broken case tells enough; the rest would repeat it
            }
        }
    }
}

TEST(RobustnessFaults, ValpickChangesNothingAndPrintsNoValueWhicheverCallFails) {
    Program valpick = valpickProgram();
    if (!canInjectFaults(valpick))
        GTEST_SKIP() << "this build cannot fail platform calls on demand";
    // Each value line is shorter than a block, so it leaves in one write: when that write fails,
    // none of it shows. (A longer line leaves block by block; its first blocks may then show
    // before the report.)
    const std::vector<std::vector<std::string>> lookups = {
        {"app.ini", "Other", "Path"},
        {"app.ini", "Main", "missing", "/DEF=none", "value", "#"},
    };
    for (const auto &arguments : lookups) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        TempDir reference;
        writeFiles(reference, lookupFiles);
        RunResult normal = runWith(reference.path, valpick, arguments, {});
        ASSERT_EQ(normal.exitCode, 0);
        for (const Injection &injection : lookupInjections) {
            for (long n = 1;; ++n) {
                SCOPED_TRACE(std::string(injection.call) + " " + std::to_string(n) +
                             (injection.persistent ? " and later" : ""));
                TempDir dir, logs;
                writeFiles(dir, lookupFiles);
                RunResult run = runInjected(dir, valpick, arguments, injection, n, logs);
                EXPECT_EQ(dir.snapshot(), lookupFiles);
                if (!readFiring(logs).fired) {
                    EXPECT_EQ(run.exitCode, 0);
                    EXPECT_EQ(run.output, normal.output);
                    break;
                }
                EXPECT_TRUE(endsWithReport(run, injection));
                if (::testing::Test::HasFailure())
                    return;
            }
        }
    }
}

} // namespace
