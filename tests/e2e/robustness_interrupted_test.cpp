// SPLICER killed (SIGKILL, which no program can catch) at random moments of a pass over a large
// file: whenever it stops, the source is untouched or replaced whole by the result, and nothing
// but the temporary file is left over.
#include "robustness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <random>

namespace {

TEST(RobustnessInterrupted, KilledAnywhereSplicerLosesNoByte) {
    if (splicerProgram().emulated())
        GTEST_SKIP() << "the kill would reach the launcher, not the program";
    std::string source;
    for (int i = 0; i < 50000; ++i)
        source += "entry" + std::to_string(i) + "=" + std::string(i % 90, 'v') +
                  (i % 11 == 0 ? " path\r\n" : "\r\n");
    const Files start = {{"app.ini", source}, {"notes.txt", "not to be touched\r\n"}};
    const std::vector<std::string> arguments = {"app.ini", "path", "Backup=1"};

    TempDir reference;
    for (const auto &[name, bytes] : start)
        reference.write(name, bytes);
    auto begin = std::chrono::steady_clock::now();
    RunResult whole = runIn(reference.path, splicerProgram(), arguments);
    long runMicroseconds = static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                                 std::chrono::steady_clock::now() - begin)
                                                 .count());
    ASSERT_EQ(whole.exitCode, 0) << whole.output;
    const std::string result = reference.read("app.ini");

    // The moments spread over the whole run, from its start to a little after its end.
    std::mt19937 random(20261211);
    std::uniform_int_distribution<long> moment(0, runMicroseconds + runMicroseconds / 10);
    for (int kill = 0; kill < 24; ++kill) {
        RunSettings settings;
        settings.killAfterMicroseconds = moment(random);
        SCOPED_TRACE("killed after " + std::to_string(settings.killAfterMicroseconds) + " of " +
                     std::to_string(runMicroseconds) + " microseconds");
        TempDir dir;
        for (const auto &[name, bytes] : start)
            dir.write(name, bytes);
        RunResult run = runWith(dir.path, splicerProgram(), arguments, settings);
        EXPECT_TRUE(run.signal == SIGKILL || run.exitCode == 0)
            << "exit code " << run.exitCode << ", signal " << run.signal;
        // A kill between the erase and the rename leaves the whole result under the temporary
        // name, as a failed rename does.
        Files after = dir.snapshot();
        EXPECT_TRUE(sourceKept(start, after, "app.ini", result, true));
        if (run.exitCode == 0) {
            EXPECT_TRUE(sameBytes(after["app.ini"], result)) << "the run ended before the kill";
        }
    }
}

} // namespace
