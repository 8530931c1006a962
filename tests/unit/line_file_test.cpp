#include "foundation/line_file.h"
#include "scratch_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <regex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::vector<std::string> readAllLines(const std::string &path) {
    LineFile f;
    assignName(f, path);
    openForReading(f);
    EXPECT_EQ(ioResult, 0);
    std::vector<std::string> lines;
    while (!atEnd(f))
        lines.push_back(readLine(f));
    EXPECT_EQ(readLine(f), "") << "reading past the end gives empty lines";
    EXPECT_EQ(ioResult, 0);
    close(f);
    return lines;
}

struct ReadCase {
    const char *name;
    std::string bytes;
    std::vector<std::string> lines;
};

TEST(LineFile, ReadsLinesAsTheyEnd) {
    std::string block(127, 'x');
    std::string bigBlock(65535, 'y');
    std::string thousand(1000, 'z');
    thousand[500] = '\0';
    const ReadCase cases[] = {
        {"CR LF ends", "a\r\nb\r\n", {"a", "b"}},
        {"LF alone is data", "a\nb\n", {"a\nb\n"}},
        {"lone CR ends", "a\rb", {"a", "b"}},
        {"CR CR LF gives an empty line", "a\r\r\nb", {"a", "", "b"}},
        {"LF CR", "a\n\rb", {"a\n", "b"}},
        {"^Z ends the data",
         "a\r\n\x1a"
         "b\r\n",
         {"a"}},
        {"^Z first reads as empty",
         "\x1a"
         "abc",
         {}},
        {"^Z inside a line",
         "ab\x1a"
         "cd",
         {"ab"}},
        {"empty file", "", {}},
        {"last line without line end", "a\r\nlast", {"a", "last"}},
        {"long line with a zero byte", thousand + "\r\n", {thousand}},
        {"CR LF across 128-byte blocks", block + "\r\nnext", {block, "next"}},
        {"CR LF across large blocks", bigBlock + "\r\nnext", {bigBlock, "next"}},
        {"only CR bytes", "\r\r\r", {"", "", ""}},
    };
    ScratchDir dir;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ioResult = 0;
        dir.write("in.txt", c.bytes);
        EXPECT_EQ(readAllLines(dir.at("in.txt")), c.lines);
    }
}

// A long line is read whole, and the room reserved for it stays within 16 MiB or twice its
// length, whichever is more, as it grows one read block at a time.
TEST(LineFile, LongLineReservesBoundedRoom) {
    constexpr std::size_t mib = 1024 * 1024;
    ScratchDir dir;
    for (std::size_t length : {70'000 * std::size_t{1}, 11 * mib / 10, 33 * mib / 2}) {
        SCOPED_TRACE(length);
        ioResult = 0;
        dir.write("in.txt", "short\r\n" + std::string(length, 'L') + "\r\nnext");
        LineFile f;
        assignName(f, dir.at("in.txt"));
        openForReading(f);
        std::string line;
        readLineInto(f, line);
        readLineInto(f, line);
        EXPECT_EQ(line.size(), length);
        EXPECT_EQ(line.find_first_not_of('L'), std::string::npos);
        EXPECT_LE(line.capacity(), std::max(16 * mib, 2 * length));
        readLineInto(f, line);
        EXPECT_EQ(line, "next");
        EXPECT_EQ(ioResult, 0);
        close(f);
    }
}

TEST(LineFile, WritesExactBytes) {
    ScratchDir dir;
    ioResult = 0;
    LineFile f;
    assignName(f, dir.at("out.txt"));
    openForWriting(f);
    writeLine(f, "abc");
    writeText(f, "abc");
    writeText(f, std::string(300, 'q'));
    close(f);
    EXPECT_EQ(ioResult, 0);
    EXPECT_EQ(dir.read("out.txt"), "abc\r\nabc" + std::string(300, 'q'));

    dir.write("full.txt", "old content");
    assignName(f, dir.at("full.txt"));
    openForWriting(f);
    close(f);
    EXPECT_EQ(ioResult, 0);
    EXPECT_EQ(dir.read("full.txt"), "") << "opening for writing empties the file";
}

TEST(LineFile, ReportsMisuseAndSystemErrors) {
    ScratchDir dir;
    dir.write("a.txt", "a\r\n");
    dir.write("b.txt", "b\r\n");
    dir.write("ro.txt", "r\r\n");
    chmod(dir.at("ro.txt").c_str(), 0444);
    mkdir(dir.at("sub").c_str(), 0755);

    struct ErrorCase {
        const char *name;
        std::function<void()> operation;
        int expected;
    };
    LineFile reading, writing, closed, unassigned, other;
    auto fresh = [&] {
        reading = writing = closed = unassigned = other = LineFile{};
        assignName(reading, dir.at("a.txt"));
        openForReading(reading);
        assignName(writing, dir.at("w.txt"));
        openForWriting(writing);
        assignName(closed, dir.at("a.txt"));
    };
    const ErrorCase cases[] = {
        {"write while reading", [&] { writeText(reading, "x"); }, 105},
        {"write when closed", [&] { writeLine(closed, "x"); }, 103},
        {"write when unassigned", [&] { writeText(unassigned, "x"); }, 103},
        {"read when closed", [&] { readLine(closed); }, 104},
        {"read while writing", [&] { readLine(writing); }, 104},
        {"end test when closed", [&] { EXPECT_TRUE(atEnd(closed)); }, 104},
        {"close when closed", [&] { close(closed); }, 103},
        {"open unassigned", [&] { openForReading(unassigned); }, 102},
        {"erase unassigned", [&] { eraseFile(unassigned); }, 102},
        {"rename while open", [&] { renameFile(reading, dir.at("c.txt")); }, 102},
        {"missing file",
         [&] {
             assignName(other, dir.at("none.txt"));
             openForReading(other);
         },
         2},
        {"missing folder",
         [&] {
             assignName(other, dir.at("none/a.txt"));
             openForReading(other);
         },
         3},
        {"missing folder for writing",
         [&] {
             assignName(other, dir.at("none/a.txt"));
             openForWriting(other);
         },
         3},
        {"second reader of one file",
         [&] {
             assignName(other, dir.at("a.txt"));
             openForReading(other);
         },
         32},
        {"second writer of one file",
         [&] {
             assignName(other, dir.at("w.txt"));
             openForWriting(other);
         },
         32},
        {"rename onto an existing name",
         [&] {
             assignName(other, dir.at("b.txt"));
             renameFile(other, dir.at("ro.txt"));
         },
         183},
        {"erase a read-only file",
         [&] {
             assignName(other, dir.at("ro.txt"));
             eraseFile(other);
         },
         5},
        {"write a read-only file",
         [&] {
             assignName(other, dir.at("ro.txt"));
             openForWriting(other);
         },
         5},
        {"erase an open file", [&] { eraseFile(reading); }, 32},
        {"read a directory",
         [&] {
             assignName(other, dir.at("sub"));
             openForReading(other);
         },
         5},
        {"write a directory",
         [&] {
             assignName(other, dir.at("sub"));
             openForWriting(other);
         },
         5},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        ioResult = 0;
        c.operation();
        EXPECT_EQ(ioResult, c.expected);
        ioResult = 0;
        close(reading);
        close(writing);
        if (other.state == LineFileState::reading || other.state == LineFileState::writing)
            close(other);
    }
    EXPECT_EQ(dir.read("ro.txt"), "r\r\n") << "a refused open changes nothing";
    EXPECT_EQ(dir.read("b.txt"), "b\r\n");
}

TEST(LineFile, SharingAllowsWriterBesideReader) {
    ScratchDir dir;
    dir.write("a.txt", "a\r\n");
    ioResult = 0;
    LineFile reader, writer;
    assignName(reader, dir.at("a.txt"));
    openForReading(reader);
    assignName(writer, dir.at("a.txt"));
    openForWriting(writer);
    EXPECT_EQ(ioResult, 0) << "a reader grants others writing";
    close(writer);
    close(reader);

    openForReading(reader, true);
    openForWriting(writer);
    EXPECT_EQ(ioResult, 32) << "a reader that denies writers";
    EXPECT_EQ(writer.state, LineFileState::closed);
    ioResult = 0;
    close(reader);
}

TEST(LineFile, RenameMovesAndRenames) {
    ScratchDir dir;
    dir.write("a.txt", "a");
    ioResult = 0;
    LineFile f;
    assignName(f, dir.at("a.txt"));
    renameFile(f, dir.at("b.txt"));
    EXPECT_EQ(ioResult, 0);
    EXPECT_EQ(f.name, dir.at("b.txt"));
    EXPECT_EQ(dir.read("b.txt"), "a");
    eraseFile(f);
    EXPECT_EQ(ioResult, 0);
    EXPECT_NE(access(dir.at("b.txt").c_str(), F_OK), 0);
}

TEST(LineFile, ReportLayout) {
    EXPECT_EQ(runtimeErrorReport(2, 0x1A2B), "Runtime error   2 at 00001A2B");
    EXPECT_EQ(runtimeErrorReport(32, 0xFFFFFFFF), "Runtime error  32 at FFFFFFFF");
    EXPECT_EQ(runtimeErrorReport(105, 0), "Runtime error 105 at 00000000");
    EXPECT_EQ(runtimeErrorReport(1117, 16), "Runtime error 1117 at 00000010");
}

// Runs body with standard output sent to the file out; the test checks how it ended.
void withStdoutTo(const std::string &out, const std::function<void()> &body) {
    int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, 1);
    ::close(fd);
    body();
}

TEST(LineFileDeathTest, FatalStopReportsAndKeepsWholeBlocks) {
    GTEST_FLAG_SET(death_test_style, "fast");
    ScratchDir dir;
    EXPECT_EXIT(withStdoutTo(dir.at("stdout"),
                             [&] {
                                 startConsoleProgram();
                                 writeLine(consoleOutput, "before");
                                 LineFile own;
                                 assignName(own, dir.at("own.txt"));
                                 openForWriting(own);
                                 writeText(own, std::string(300, 'w'));
                                 LineFile missing;
                                 assignName(missing, dir.at("missing.txt"));
                                 openForReading(missing);
                                 checkIo();
                             }),
                ::testing::ExitedWithCode(2), "");
    std::string out = dir.read("stdout");
    EXPECT_TRUE(std::regex_match(out, std::regex("before\r\nRuntime error   2 at [0-9A-F]{8}\r\n")))
        << out;
    EXPECT_EQ(dir.read("own.txt"), std::string(256, 'w')) << "the last 44 bytes are lost";
}

TEST(LineFileDeathTest, LargeNumbersExitWith255) {
    GTEST_FLAG_SET(death_test_style, "fast");
    ScratchDir dir;
    EXPECT_EXIT(withStdoutTo(dir.at("stdout"),
                             [] {
                                 startConsoleProgram();
                                 fatalIoError(1117);
                             }),
                ::testing::ExitedWithCode(255), "");
    EXPECT_TRUE(
        std::regex_match(dir.read("stdout"), std::regex("Runtime error 1117 at [0-9A-F]{8}\r\n")));
}

TEST(LineFileDeathTest, NormalEndLeavesSilentOutputUntouched) {
    GTEST_FLAG_SET(death_test_style, "fast");
    ScratchDir dir;
    dir.write("stdout", "");
    EXPECT_EXIT(withStdoutTo(dir.at("stdout"),
                             [] {
                                 startConsoleProgram();
                                 endProgram();
                             }),
                ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(dir.read("stdout"), "");
}

TEST(LineFileDeathTest, FailedAllocationEndsWith203) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reports an oversized allocation itself, before the program "
                    "can see it fail; the plain test build checks this";
#endif
    GTEST_FLAG_SET(death_test_style, "fast");
    ScratchDir dir;
    EXPECT_EXIT(withStdoutTo(dir.at("stdout"),
                             [] {
                                 startConsoleProgram();
                                 std::string huge;
                                 huge.reserve(std::size_t(1) << 46);
                             }),
                ::testing::ExitedWithCode(203), "");
    EXPECT_TRUE(
        std::regex_match(dir.read("stdout"), std::regex("Runtime error 203 at [0-9A-F]{8}\r\n")));
}

} // namespace
