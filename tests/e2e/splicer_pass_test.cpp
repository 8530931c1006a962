// SPLICER run for real on files in a temporary directory: the resulting files byte for byte,
// standard output and the exit code.
#include "harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <optional>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace {

const std::string temporaryName = "~~splc~~.tmp";

// File name -> contents; a directory's expected state after a run.
using Files = std::map<std::string, std::string>;

// Bytes as a readable line: CR LF as ¶, every other control byte as <hex>.
std::string visible(const std::string &bytes) {
    std::string shown;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            shown += "\xC2\xB6";
            ++i;
        } else if (c < 32 || c >= 127) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "<%02X>", c);
            shown += hex;
        } else {
            shown += static_cast<char>(c);
        }
    }
    return shown;
}

// Byte-for-byte equality, showing short texts whole and long ones by their first difference.
::testing::AssertionResult sameBytes(const std::string &actual, const std::string &expected) {
    if (actual == expected)
        return ::testing::AssertionSuccess();
    if (actual.size() + expected.size() < 4000)
        return ::testing::AssertionFailure()
               << "\n  actual:   " << visible(actual) << "\n  expected: " << visible(expected);
    std::size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        ++at;
    auto around = [at](const std::string &s) {
        std::size_t from = at < 40 ? 0 : at - 40;
        return visible(s.substr(from, 80));
    };
    return ::testing::AssertionFailure()
           << "sizes " << actual.size() << " and " << expected.size()
           << " (actual, expected), first difference at byte " << at << "\n  actual:   ..."
           << around(actual) << "\n  expected: ..." << around(expected);
}

std::vector<std::string> namesOf(const Files &files) {
    std::vector<std::string> names;
    for (const auto &[name, bytes] : files)
        names.push_back(name);
    return names;
}

bool isSymbolicLink(const std::string &path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

unsigned permissionBits(const std::string &path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

std::string linkText(const std::string &path) {
    char buffer[4096];
    ssize_t length = readlink(path.c_str(), buffer, sizeof buffer);
    return length < 0 ? std::string("<no link>") : std::string(buffer, length);
}

// Checks a finished run: a normal end prints exactly expectedOutput (nothing for a run on a
// file), a failure prints exactly one report of its number and ends with that number.
void expectEnd(const RunResult &run, int error, const std::string &expectedOutput = "") {
    if (error == 0) {
        EXPECT_TRUE(sameBytes(run.output, expectedOutput)) << "standard output";
        EXPECT_EQ(run.exitCode, 0);
    } else {
        EXPECT_TRUE(isRuntimeErrorReport(run.output, error)) << visible(run.output);
        EXPECT_EQ(run.exitCode, error);
    }
}

// The directory holds exactly these files with these bytes.
void expectFiles(const TempDir &dir, const Files &expected) {
    for (const auto &[name, bytes] : expected)
        EXPECT_TRUE(sameBytes(dir.read(name), bytes)) << name;
    EXPECT_EQ(dir.names(), namesOf(expected)) << "the files in the directory";
}

// One run on app.ini in a fresh directory.
struct PassCase {
    const char *name;
    std::string source; // app.ini before the run
    std::vector<std::string> arguments;
    std::string result;                    // app.ini after the run
    Files others = {};                     // further files before the run
    std::optional<Files> othersAfter = {}; // further files after it; unset: as before
    std::string input = "";                // standard input
    std::string output = "";               // standard output of a normal end
    int error = 0;                         // the report's number, 0 for a normal end
};

void checkRun(const PassCase &c) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    dir.write("app.ini", c.source);
    for (const auto &[name, bytes] : c.others)
        dir.write(name, bytes);
    RunResult run = runIn(dir.path, splicerProgram(), c.arguments, c.input);
    expectEnd(run, c.error, c.output);
    Files expected = c.othersAfter ? *c.othersAfter : c.others;
    expected["app.ini"] = c.result;
    expectFiles(dir, expected);
}

void checkRuns(const std::vector<PassCase> &cases) {
    for (const PassCase &c : cases)
        checkRun(c);
}

const std::string mainFile = crlf("[Main]¶Path=C:\\x¶Mode=1¶[Other]¶path=D:\\y¶");

TEST(SplicerPass, SearchHitsInLineMode) {
    checkRuns({
        {.name = "text goes after every line with a hit, in any case",
         .source = mainFile,
         .arguments = {"app.ini", "path", "Backup=1"},
         .result = crlf("[Main]¶Path=C:\\x¶Backup=1¶Mode=1¶[Other]¶path=D:\\y¶Backup=1¶")},
        {.name = "/INIGR= limits the edits to the group",
         .source = mainFile,
         .arguments = {"app.ini", "path", "Backup=1", "/INIGR=Main"},
         .result = crlf("[Main]¶Path=C:\\x¶Backup=1¶Mode=1¶[Other]¶path=D:\\y¶")},
        {.name = "/ONCE edits the first line with a hit only",
         .source = mainFile,
         .arguments = {"app.ini", "path", "Backup=1", "/ONCE"},
         .result = crlf("[Main]¶Path=C:\\x¶Backup=1¶Mode=1¶[Other]¶path=D:\\y¶")},
        {.name = "/BEF puts the text in front of each line with a hit",
         .source = mainFile,
         .arguments = {"app.ini", "path", "Backup=1", "/BEF"},
         .result = crlf("[Main]¶Backup=1¶Path=C:\\x¶Mode=1¶[Other]¶Backup=1¶path=D:\\y¶")},
        {.name = "/REPL puts the text in the place of each line with a hit",
         .source = mainFile,
         .arguments = {"app.ini", "path", "Backup=1", "/REPL"},
         .result = crlf("[Main]¶Backup=1¶Mode=1¶[Other]¶Backup=1¶")},
        {.name = "without TEXT every line with a hit is removed with its line end",
         .source = mainFile,
         .arguments = {"app.ini", "path"},
         .result = crlf("[Main]¶Mode=1¶[Other]¶")},
        {.name = "/C compares the case",
         .source = mainFile,
         .arguments = {"app.ini", "path", "Backup=1", "/C"},
         .result = crlf("[Main]¶Path=C:\\x¶Mode=1¶[Other]¶path=D:\\y¶Backup=1¶")},
        {.name = "a line gets one edit however many hits it holds",
         .source = crlf("a=a=a¶b¶"),
         .arguments = {"app.ini", "a=", "x"},
         .result = crlf("a=a=a¶x¶b¶")},
        {.name = "the group's header line is searched too",
         .source = mainFile,
         .arguments = {"app.ini", "main", "x", "/INIGR=Main"},
         .result = crlf("[Main]¶x¶Path=C:\\x¶Mode=1¶[Other]¶path=D:\\y¶")},
        {.name = "a header matches by its start in any case, each time it occurs, never "
                 "after blanks",
         .source = crlf("[Main]¶a=1¶[MainX]¶a=2¶ [Main]¶a=3¶[main] ; c¶a=4¶"),
         .arguments = {"app.ini", "a=", "X", "/INIGR=Main"},
         .result = crlf("[Main]¶a=1¶X¶[MainX]¶a=2¶ [Main]¶a=3¶[main] ; c¶a=4¶X¶")},
        {.name = "lines before the first header are outside every group",
         .source = crlf(";c¶[A]¶x=1¶"),
         .arguments = {"app.ini", "c", "y", "/INIGR=A"},
         .result = crlf(";c¶[A]¶x=1¶")},
        {.name = "a group that does not exist gets no edit",
         .source = mainFile,
         .arguments = {"app.ini", "path", "x", "/INIGR=Boot"},
         .result = mainFile},
    });
}

TEST(SplicerPass, SearchHitsInCharacterMode) {
    checkRuns({
        {.name = "/NOLIN /REPL replaces every occurrence in a line",
         .source = crlf("axbxc¶"),
         .arguments = {"app.ini", "x", "yz", "/NOLIN", "/REPL"},
         .result = crlf("ayzbyzc¶")},
        {.name = "/NOLIN /ONCE edits all occurrences of the first line with one, no later line",
         .source = crlf("axbxc¶x¶"),
         .arguments = {"app.ini", "x", "yz", "/NOLIN", "/REPL", "/ONCE"},
         .result = crlf("ayzbyzc¶x¶")},
        {.name = "/NOLIN inserts after each found text, which keeps its case",
         .source = crlf("a=1,A=2¶b¶"),
         .arguments = {"app.ini", "a=", "X", "/NOLIN"},
         .result = crlf("a=X1,A=X2¶b¶")},
        {.name = "/NOLIN /BEF inserts in front of each found text",
         .source = crlf("a=1,a=2¶"),
         .arguments = {"app.ini", "a=", "X", "/NOLIN", "/BEF"},
         .result = crlf("Xa=1,Xa=2¶")},
        {.name = "/NOLIN without TEXT removes the found text only",
         .source = crlf("a=1,a=2¶a¶"),
         .arguments = {"app.ini", "a=", "/NOLIN"},
         .result = crlf("1,2¶a¶")},
        {.name = "inserted text equal to the found text is not searched again",
         .source = crlf("a=1,a=2¶"),
         .arguments = {"app.ini", "a=", "a=", "/NOLIN"},
         .result = crlf("a=a=1,a=a=2¶")},
        {.name = "/NOLIN /C skips other cases",
         .source = crlf("Path path¶"),
         .arguments = {"app.ini", "path", "X", "/NOLIN", "/C", "/REPL"},
         .result = crlf("Path X¶")},
    });
}

TEST(SplicerPass, FirstLine) {
    checkRuns({
        {.name = "the text goes in front of the first line",
         .source = crlf("a¶b¶"),
         .arguments = {"app.ini", "/FIRST", ";top"},
         .result = crlf(";top¶a¶b¶")},
        {.name = "/REPL, /BEF and /ONCE have no effect",
         .source = crlf("a¶b¶"),
         .arguments = {"app.ini", "/FIRST", "/REPL", "/BEF", "x=1"},
         .result = crlf("x=1¶a¶b¶")},
        {.name = "a blank first line is the first line",
         .source = crlf("¶a¶"),
         .arguments = {"app.ini", "/FIRST", "x"},
         .result = crlf("x¶¶a¶")},
        {.name = "with a group the text goes right after the header",
         .source = crlf("a¶[B]¶c¶"),
         .arguments = {"app.ini", "/FIRST", ";top", "/INIGR=B"},
         .result = crlf("a¶[B]¶;top¶c¶")},
        {.name = "blank lines around the group's header stay",
         .source = crlf("a¶¶[B]¶¶c¶"),
         .arguments = {"app.ini", "/FIRST", "x", "/INIGR=B"},
         .result = crlf("a¶¶[B]¶x¶¶c¶")},
        {.name = "only the group's first header gets the text",
         .source = crlf("[B]¶c¶[b]¶d¶"),
         .arguments = {"app.ini", "/FIRST", ";top", "/INIGR=b"},
         .result = crlf("[B]¶;top¶c¶[b]¶d¶")},
        {.name = "a group that does not exist gets no edit",
         .source = crlf(";c¶[A]¶x=1¶"),
         .arguments = {"app.ini", "/FIRST", "y", "/INIGR=B"},
         .result = crlf(";c¶[A]¶x=1¶")},
        {.name = "without TEXT the first line is removed",
         .source = crlf("a¶b¶"),
         .arguments = {"app.ini", "/FIRST"},
         .result = crlf("b¶")},
        {.name = "without TEXT a blank first line is removed",
         .source = crlf("¶a¶"),
         .arguments = {"app.ini", "/FIRST"},
         .result = crlf("a¶")},
        {.name = "without TEXT and with a group the group's header line is removed",
         .source = crlf("a¶[B]¶c¶"),
         .arguments = {"app.ini", "/FIRST", "/INIGR=B"},
         .result = crlf("a¶c¶")},
        {.name = "/NOLIN puts the text in front of the first line's characters",
         .source = crlf("ab¶c¶"),
         .arguments = {"app.ini", "/FIRST", "X", "/NOLIN"},
         .result = crlf("Xab¶c¶")},
        {.name = "/NOLIN with a group puts the text right in front of the header's characters",
         .source = crlf("a¶[B]¶c¶"),
         .arguments = {"app.ini", "/FIRST", "X", "/NOLIN", "/INIGR=B"},
         .result = crlf("a¶X[B]¶c¶")},
        {.name = "/NOLIN without TEXT removes nothing",
         .source = crlf("a¶b¶"),
         .arguments = {"app.ini", "/FIRST", "/NOLIN"},
         .result = crlf("a¶b¶")},
        {.name = "/NOLIN without TEXT with a group removes nothing",
         .source = crlf("a¶[B]¶c¶"),
         .arguments = {"app.ini", "/FIRST", "/NOLIN", "/INIGR=B"},
         .result = crlf("a¶[B]¶c¶")},
    });
}

TEST(SplicerPass, LastLine) {
    const std::string twoGroups = crlf("[A]¶x=1¶¶[B]¶y=2¶");
    checkRuns({
        {.name = "the text goes after the last line with one line end",
         .source = crlf("a¶¶b¶"),
         .arguments = {"app.ini", "/LAST", "z"},
         .result = crlf("a¶¶b¶z¶")},
        {.name = "the text goes after trailing blank lines",
         .source = crlf("a¶¶¶"),
         .arguments = {"app.ini", "/LAST", "z"},
         .result = crlf("a¶¶¶z¶")},
        {.name = "at a group's end the text follows its last non-blank line",
         .source = twoGroups,
         .arguments = {"app.ini", "/LAST", "z=3", "/INIGR=A"},
         .result = crlf("[A]¶x=1¶z=3¶¶[B]¶y=2¶")},
        {.name = "several blank lines at a group's end stay behind the text",
         .source = crlf("[A]¶x=1¶¶¶[B]¶y=2¶"),
         .arguments = {"app.ini", "/LAST", "z=3", "/INIGR=A"},
         .result = crlf("[A]¶x=1¶z=3¶¶¶[B]¶y=2¶")},
        {.name = "a line of blanks is no blank line",
         .source = crlf("[A]¶x¶ ¶[B]¶"),
         .arguments = {"app.ini", "/LAST", "z", "/INIGR=A"},
         .result = crlf("[A]¶x¶ ¶z¶[B]¶")},
        {.name = "the last group ends at the end of the file",
         .source = twoGroups,
         .arguments = {"app.ini", "/LAST", "z=3", "/INIGR=B"},
         .result = crlf("[A]¶x=1¶¶[B]¶y=2¶z=3¶")},
        {.name = "the last group's trailing blank lines come before the text",
         .source = crlf("[A]¶x¶[B]¶y¶¶¶"),
         .arguments = {"app.ini", "/LAST", "z=3", "/INIGR=B"},
         .result = crlf("[A]¶x¶[B]¶y¶¶¶z=3¶")},
        {.name = "only the end of the group's first occurrence gets the text",
         .source = crlf("[A]¶x¶[B]¶[A]¶y¶"),
         .arguments = {"app.ini", "/LAST", "z", "/INIGR=A"},
         .result = crlf("[A]¶x¶z¶[B]¶[A]¶y¶")},
        {.name = "a group that does not exist gets no edit",
         .source = crlf(";c¶[A]¶x=1¶"),
         .arguments = {"app.ini", "/LAST", "y", "/INIGR=B"},
         .result = crlf(";c¶[A]¶x=1¶")},
        {.name = "without TEXT nothing is removed",
         .source = crlf("a¶¶b¶¶"),
         .arguments = {"app.ini", "/LAST"},
         .result = crlf("a¶¶b¶¶")},
        {.name = "without TEXT at a group's end neither the header nor blank lines go",
         .source = twoGroups,
         .arguments = {"app.ini", "/LAST", "/INIGR=A"},
         .result = twoGroups},
        {.name = "without TEXT at the last group's end nothing goes",
         .source = crlf("[A]¶x=1¶¶[B]¶y=2¶¶"),
         .arguments = {"app.ini", "/LAST", "/INIGR=B"},
         .result = crlf("[A]¶x=1¶¶[B]¶y=2¶¶")},
        {.name = "/NOLIN without TEXT at a group's end removes nothing",
         .source = twoGroups,
         .arguments = {"app.ini", "/LAST", "/NOLIN", "/INIGR=A"},
         .result = twoGroups},
        {.name = "/NOLIN at a group's end puts the text in front of the next header's "
                 "characters, behind the blank lines",
         .source = twoGroups,
         .arguments = {"app.ini", "/LAST", "z", "/NOLIN", "/INIGR=A"},
         .result = crlf("[A]¶x=1¶¶z[B]¶y=2¶")},
        {.name = "/NOLIN appends the text without a line end",
         .source = crlf("a¶b¶"),
         .arguments = {"app.ini", "/LAST", "z", "/NOLIN"},
         .result = crlf("a¶b¶z")},
    });
}

TEST(SplicerPass, LineEndsAndEmptyFiles) {
    checkRuns({
        {.name = "an empty source yields one empty line",
         .source = "",
         .arguments = {"app.ini", "x", "y"},
         .result = crlf("¶")},
        {.name = "/FIRST on an empty source",
         .source = "",
         .arguments = {"app.ini", "/FIRST", "new"},
         .result = crlf("new¶¶")},
        {.name = "/LAST on an empty source",
         .source = "",
         .arguments = {"app.ini", "/LAST", "new"},
         .result = crlf("¶new¶")},
        {.name = "without a hit every line comes out ended by CR LF",
         .source = "a\r\nb\rc\r\r\nd",
         .arguments = {"app.ini", "zz", "y"},
         .result = crlf("a¶b¶c¶¶d¶")},
        {.name = "everything from a Ctrl+Z on is dropped",
         .source = "a\r\n\x1A"
                   "b\r\n",
         .arguments = {"app.ini", "b", "y"},
         .result = crlf("a¶")},
        {.name = "a Ctrl+Z inside a line ends it and the file",
         .source = "ab\x1A"
                   "cd\r\nef\r\n",
         .arguments = {"app.ini", "ab", "y"},
         .result = crlf("ab¶y¶")},
        {.name = "a file with LF line ends is one line",
         .source = "a\nb\n",
         .arguments = {"app.ini", "zz", "y"},
         .result = "a\nb\n\r\n"},
        {.name = "a hit in a file with LF line ends finds the whole file",
         .source = "a\nPath\nc\n",
         .arguments = {"app.ini", "path", "X"},
         .result = "a\nPath\nc\n\r\nX\r\n"},
        {.name = "/REPL in a file with LF line ends replaces the whole file",
         .source = "a\nb\n",
         .arguments = {"app.ini", "b", "X", "/REPL"},
         .result = "X\r\n"},
        {.name = "zero bytes stay in their line",
         .source = std::string("a\0b\r\n", 5),
         .arguments = {"app.ini", "b", "X"},
         .result = std::string("a\0b\r\nX\r\n", 8)},
    });
}

TEST(SplicerPass, TextFromFile) {
    const Files pq = {{"t.txt", crlf("p¶q¶")}};
    checkRuns({
        {.name = "the file's lines go in after the line",
         .source = crlf("a=1¶b¶"),
         .arguments = {"app.ini", "a", "@t.txt"},
         .result = crlf("a=1¶p¶q¶b¶"),
         .others = pq},
        {.name = "a last line without line end gives the same",
         .source = crlf("a=1¶b¶"),
         .arguments = {"app.ini", "a", "@t.txt"},
         .result = crlf("a=1¶p¶q¶b¶"),
         .others = {{"t.txt", crlf("p¶q")}}},
        {.name = "a blank line at the file's end goes in",
         .source = crlf("a=1¶b¶"),
         .arguments = {"app.ini", "a", "@t.txt"},
         .result = crlf("a=1¶p¶q¶¶b¶"),
         .others = {{"t.txt", crlf("p¶q¶¶")}}},
        {.name = "/REPL puts the file's lines in the place of the line",
         .source = crlf("a=1¶b¶"),
         .arguments = {"app.ini", "a", "@t.txt", "/REPL"},
         .result = crlf("p¶q¶b¶"),
         .others = pq},
        {.name = "/BEF puts the file's lines in front of the line",
         .source = crlf("a=1¶b¶"),
         .arguments = {"app.ini", "a", "@t.txt", "/BEF"},
         .result = crlf("p¶q¶a=1¶b¶"),
         .others = pq},
        {.name = "/NOLIN puts the lines into the line, splitting it",
         .source = crlf("a=1¶"),
         .arguments = {"app.ini", "a=", "@t.txt", "/NOLIN"},
         .result = crlf("a=p¶q1¶"),
         .others = pq},
        {.name = "the file is read afresh at every edit",
         .source = crlf("a=1¶a=2¶"),
         .arguments = {"app.ini", "a", "@t.txt"},
         .result = crlf("a=1¶p¶q¶a=2¶p¶q¶"),
         .others = pq},
        {.name = "an empty file inserts an empty line",
         .source = crlf("a=1¶b¶"),
         .arguments = {"app.ini", "a", "@t.txt"},
         .result = crlf("a=1¶¶b¶"),
         .others = {{"t.txt", ""}}},
        {.name = "an empty file with /REPL leaves an empty line",
         .source = crlf("a=1¶b¶"),
         .arguments = {"app.ini", "a", "@t.txt", "/REPL"},
         .result = crlf("¶b¶"),
         .others = {{"t.txt", ""}}},
        {.name = "a missing file that no edit needs is no error",
         .source = crlf("a=1¶"),
         .arguments = {"app.ini", "zz", "@t.txt"},
         .result = crlf("a=1¶")},
        {.name = "a missing file at the first edit: report 2, source unchanged",
         .source = crlf("a=1¶b¶"),
         .arguments = {"app.ini", "a", "@t.txt"},
         .result = crlf("a=1¶b¶"),
         .othersAfter = Files{{temporaryName, ""}},
         .error = 2},
        {.name = "the source itself cannot be read at an edit during the pass",
         .source = crlf("a=1¶b¶"),
         .arguments = {"app.ini", "a", "@app.ini"},
         .result = crlf("a=1¶b¶"),
         .othersAfter = Files{{temporaryName, ""}},
         .error = 32},
        {.name = "the source itself at a group's end is read during the pass",
         .source = crlf("[A]¶x¶[B]¶"),
         .arguments = {"app.ini", "/LAST", "@app.ini", "/INIGR=A"},
         .result = crlf("[A]¶x¶[B]¶"),
         .othersAfter = Files{{temporaryName, ""}},
         .error = 32},
        {.name = "the /NEW= file cannot be the text file: it is not read while written",
         .source = crlf("a=1¶b¶"),
         .arguments = {"app.ini", "a", "@t.txt", "/NEW=t.txt"},
         .result = crlf("a=1¶b¶"),
         .others = {{"t.txt", crlf("p¶")}},
         .othersAfter = Files{{"t.txt", ""}},
         .error = 32},
        {.name = "the temporary file cannot be the text file: it is not read while written",
         .source = crlf("a=1¶b¶"),
         .arguments = {"app.ini", "a", "@" + temporaryName},
         .result = crlf("a=1¶b¶"),
         .othersAfter = Files{{temporaryName, ""}},
         .error = 32},
        {.name = "/LAST appends a copy of the source to itself",
         .source = crlf("a¶b¶"),
         .arguments = {"app.ini", "/LAST", "@app.ini"},
         .result = crlf("a¶b¶a¶b¶")},
    });
}

TEST(SplicerPass, TextFromStandardInput) {
    checkRuns({
        {.name = "a text from standard input keeps the replaced line's line end",
         .source = crlf("a=1¶b¶"),
         .arguments = {"app.ini", "a", "@", "/REPL"},
         .result = crlf("p¶b¶"),
         .input = "p"},
        {.name = "an empty standard input with /REPL leaves an empty line",
         .source = crlf("a=1¶b¶"),
         .arguments = {"app.ini", "a", "@", "/REPL"},
         .result = crlf("¶b¶")},
        {.name = "standard input is read once; a later edit finds its end",
         .source = crlf("a=1¶a=2¶"),
         .arguments = {"app.ini", "a", "@"},
         .result = crlf("a=1¶p¶a=2¶¶"),
         .input = crlf("p¶")},
    });
}

TEST(SplicerPass, OutputFiles) {
    checkRuns({
        {.name = "/NEW= without a name writes the result to standard output",
         .source = crlf("a¶b¶"),
         .arguments = {"app.ini", "a", "X", "/NEW="},
         .result = crlf("a¶b¶"),
         .output = crlf("a¶X¶b¶")},
        {.name = "/NEW= empties an existing file and writes the result into it",
         .source = crlf("a¶b¶"),
         .arguments = {"app.ini", "a", "X", "/NEW=out.ini"},
         .result = crlf("a¶b¶"),
         .others = {{"out.ini", crlf("old old old old old¶")}},
         .othersAfter = Files{{"out.ini", crlf("a¶X¶b¶")}}},
        {.name = "/NEW= in a folder that does not exist: report 3",
         .source = crlf("a¶"),
         .arguments = {"app.ini", "a", "X", "/NEW=nodir/out.ini"},
         .result = crlf("a¶"),
         .error = 3},
        {.name = "/NEW= naming the source is refused",
         .source = crlf("a¶b¶"),
         .arguments = {"app.ini", "a", "X", "/NEW=app.ini"},
         .result = crlf("a¶b¶"),
         .error = 32},
        {.name = "/NEW= naming the source by another spelling is refused",
         .source = crlf("a¶b¶"),
         .arguments = {"app.ini", "a", "X", "/NEW=./app.ini"},
         .result = crlf("a¶b¶"),
         .error = 32},
        {.name = "an existing temporary file is emptied and becomes the source",
         .source = crlf("a¶"),
         .arguments = {"app.ini", "a", "X"},
         .result = crlf("a¶X¶"),
         .others = {{temporaryName, crlf("stale stale stale stale stale¶")}},
         .othersAfter = Files{}},
        {.name = "a pass without any edit still rewrites the source",
         .source = "a\rb",
         .arguments = {"app.ini", "zz"},
         .result = crlf("a¶b¶")},
        {.name = "a missing source: report 2, nothing created",
         .source = crlf("a¶"),
         .arguments = {"missing.ini", "a", "X"},
         .result = crlf("a¶"),
         .error = 2},
        {.name = "a source in a missing folder: report 3, nothing created",
         .source = crlf("a¶"),
         .arguments = {"nodir/app.ini", "a", "X"},
         .result = crlf("a¶"),
         .error = 3},
    });
}

// Case kept on POSIX, where names of files differ by case; upper-cased on Windows, where the
// case of a name does not matter.
TEST(SplicerPass, NewFileNameReachesTheFileSystem) {
    TempDir dir;
    dir.write("app.ini", crlf("a¶b¶"));
    RunResult run = runIn(dir.path, splicerProgram(), {"app.ini", "b", "X", "/new=Out.Ini"});
    expectEnd(run, 0);
    std::string name = splicerProgram().emulated() ? "OUT.INI" : "Out.Ini";
    expectFiles(dir, {{"app.ini", crlf("a¶b¶")}, {name, crlf("a¶b¶X¶")}});
}

// Flushes of the window must not show in the result: large files, long lines and a search string
// longer than the window.
TEST(SplicerPass, LargeFilesComeOutWhole) {
    std::string lines, insertedAfter, insertedBefore, replacedInside;
    for (int i = 0; i < 3000; ++i) {
        std::string body = "line " + std::to_string(i) + " " + std::string(i % 151, 'v');
        bool hit = i % 7 == 3;
        std::string line = hit ? body + " hit" : body;
        lines += line + "\r\n";
        insertedAfter += line + "\r\n" + (hit ? "X\r\n" : "");
        insertedBefore += (hit ? "X\r\n" : "") + line + "\r\n";
        replacedInside += (hit ? body + " X" : body) + "\r\n";
    }
    const std::string longLine = std::string(30000, 'x') + "HIT" + std::string(20000, 'y');
    const std::string needle = std::string(10300, 'n') + "!";
    std::string needleLines, needleResult;
    for (int i = 0; i < 40; ++i) {
        needleLines += "a" + needle + "b\r\nc" + std::string(i * 300, 'c') + "\r\n";
        needleResult += "aRb\r\nc" + std::string(i * 300, 'c') + "\r\n";
    }
    std::string group = "[A]\r\n" + lines + "\r\n\r\n\r\n[B]\r\nb\r\n";
    std::string groupResult = "[A]\r\n" + lines + "z\r\n\r\n\r\n\r\n[B]\r\nb\r\n";
    // A long line is upper-cased for the search in pieces of 64 KiB: a hit that a piece's end cuts
    // is found whole, also after an earlier hit of the same line.
    std::vector<PassCase> cutHits;
    for (std::size_t at : {65533, 65534, 65535, 65536, 131067, 131068, 131069, 131070}) {
        std::string before = "cut" + std::string(at - 3, 'y');
        std::string after = std::string(140000 - at, 'y');
        cutHits.push_back({.name = "a hit at a piece's end, character mode",
                           .source = before + "cUt" + after + "\r\n",
                           .arguments = {"app.ini", "cut", "X", "/NOLIN", "/REPL"},
                           .result = "X" + before.substr(3) + "X" + after + "\r\n"});
        cutHits.push_back({.name = "a hit at a piece's end, line mode",
                           .source = std::string(at, 'y') + "cUt" + after + "\r\n",
                           .arguments = {"app.ini", "cut", "X"},
                           .result = std::string(at, 'y') + "cUt" + after + "\r\nX\r\n"});
    }
    checkRuns(cutHits);
    checkRuns({
        {.name = "insert after many hits",
         .source = lines,
         .arguments = {"app.ini", "HIT", "X"},
         .result = insertedAfter},
        {.name = "insert before many hits",
         .source = lines,
         .arguments = {"app.ini", "HIT", "X", "/BEF"},
         .result = insertedBefore},
        {.name = "replace many hits in character mode",
         .source = lines,
         .arguments = {"app.ini", "hit", "X", "/NOLIN", "/REPL"},
         .result = replacedInside},
        {.name = "a line longer than the window",
         .source = "a\r\n" + longLine + "\r\nb\r\n",
         .arguments = {"app.ini", "hit", "-", "/NOLIN"},
         .result =
             "a\r\n" + std::string(30000, 'x') + "HIT-" + std::string(20000, 'y') + "\r\nb\r\n"},
        {.name = "a search string longer than the window",
         .source = needleLines,
         .arguments = {"app.ini", needle, "R", "/NOLIN", "/REPL"},
         .result = needleResult},
        {.name = "blank lines held at a group's end after a long group",
         .source = group,
         .arguments = {"app.ini", "/LAST", "z", "/INIGR=A"},
         .result = groupResult},
    });
}

TEST(SplicerFailure, ReadOnlySourceLeavesTheResultInTheTemporaryFile) {
    for (std::string folder : {"", "sub/"}) {
        SCOPED_TRACE("source in '" + folder + "'");
        TempDir dir;
        if (!folder.empty())
            mkdir(dir.at("sub").c_str(), 0700);
        dir.write(folder + "app.ini", crlf("a¶b¶"));
        chmod(dir.at(folder + "app.ini").c_str(), 0444);
        RunResult run = runIn(dir.path, splicerProgram(), {folder + "app.ini", "a", "X"});
        expectEnd(run, 5);
        EXPECT_TRUE(sameBytes(dir.read(folder + "app.ini"), crlf("a¶b¶")));
        EXPECT_TRUE(sameBytes(dir.read(folder + temporaryName), crlf("a¶X¶b¶")));
        std::vector<std::string> beside = {"app.ini", temporaryName};
        EXPECT_EQ(namesIn(dir.at(folder)), beside) << "the temporary file lies beside the source";
        if (!folder.empty()) {
            EXPECT_EQ(dir.names(), std::vector<std::string>{"sub"});
        }
    }
}

TEST(SplicerFailure, SameFailureReportsSamePlace) {
    const std::vector<std::vector<std::string>> failures = {
        {"missing.ini", "a", "X"},
        {"app.ini", "a", "@missing.txt"},
    };
    for (const auto &arguments : failures) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        std::vector<std::string> outputs;
        for (int run = 0; run < 2; ++run) {
            TempDir dir;
            dir.write("app.ini", crlf("a¶"));
            outputs.push_back(runIn(dir.path, splicerProgram(), arguments).output);
            EXPECT_TRUE(isRuntimeErrorReport(outputs.back(), 2)) << visible(outputs.back());
        }
        EXPECT_EQ(outputs[0], outputs[1]);
    }
}

// Sets the file-creation mask for the programs started while it lives.
struct FileMask {
    explicit FileMask(mode_t mask) : previous(umask(mask)) {}
    ~FileMask() { umask(previous); }
    mode_t previous;
};

TEST(SplicerFiles, ReplacedFileKeepsThePermissionBits) {
    if (splicerProgram().emulated())
        GTEST_SKIP() << "permission bits are POSIX's";
    struct Case {
        unsigned mode;
        mode_t mask; // a mask that alone would give other bits
    };
    for (const Case &c : {Case{0600, 0}, Case{0640, 077}, Case{0604, 022}}) {
        SCOPED_TRACE(::testing::Message() << std::oct << "mode " << c.mode << " mask " << c.mask);
        TempDir dir;
        dir.write("app.ini", crlf("a¶"));
        chmod(dir.at("app.ini").c_str(), c.mode);
        FileMask mask(c.mask);
        RunResult run = runIn(dir.path, splicerProgram(), {"app.ini", "a", "X"});
        expectEnd(run, 0);
        expectFiles(dir, {{"app.ini", crlf("a¶X¶")}});
        EXPECT_EQ(permissionBits(dir.at("app.ini")), c.mode);
    }
}

TEST(SplicerFiles, NewFileNamingTheSourceThroughALinkIsRefused) {
    if (splicerProgram().emulated())
        GTEST_SKIP() << "links and absolute paths are POSIX's";
    for (std::string name :
         std::vector<std::string>{"link.ini", "hard.ini", "sub/../app.ini", ""}) {
        TempDir dir;
        if (name.empty())
            name = dir.at("app.ini");
        SCOPED_TRACE("/NEW=" + name);
        dir.write("app.ini", crlf("a¶b¶"));
        mkdir(dir.at("sub").c_str(), 0700);
        ASSERT_EQ(symlink("app.ini", dir.at("link.ini").c_str()), 0);
        ASSERT_EQ(link(dir.at("app.ini").c_str(), dir.at("hard.ini").c_str()), 0);
        RunResult run = runIn(dir.path, splicerProgram(), {"app.ini", "a", "X", "/NEW=" + name});
        expectEnd(run, 32);
        EXPECT_TRUE(sameBytes(dir.read("app.ini"), crlf("a¶b¶")));
        EXPECT_TRUE(isSymbolicLink(dir.at("link.ini")));
        std::vector<std::string> names = {"app.ini", "hard.ini", "link.ini", "sub"};
        EXPECT_EQ(dir.names(), names);
        EXPECT_EQ(namesIn(dir.at("sub")), std::vector<std::string>{});
    }
}

TEST(SplicerFiles, PlantedTemporaryFileRedirectsNothing) {
    if (splicerProgram().emulated())
        GTEST_SKIP() << "symbolic and hard links are POSIX's";
    enum Plant { linkToFile, linkToNothing, hardLink };
    for (Plant plant : {linkToFile, linkToNothing, hardLink}) {
        SCOPED_TRACE(plant == linkToFile      ? "symbolic link to a file"
                     : plant == linkToNothing ? "symbolic link to no file"
                                              : "hard link");
        TempDir dir;
        dir.write("app.ini", crlf("a¶"));
        dir.write("victim.txt", crlf("victim¶"));
        std::string tmp = dir.at(temporaryName);
        if (plant == linkToFile)
            ASSERT_EQ(symlink("victim.txt", tmp.c_str()), 0);
        else if (plant == linkToNothing)
            ASSERT_EQ(symlink("absent.txt", tmp.c_str()), 0);
        else
            ASSERT_EQ(link(dir.at("victim.txt").c_str(), tmp.c_str()), 0);
        RunResult run = runIn(dir.path, splicerProgram(), {"app.ini", "a", "X"});
        expectEnd(run, 5);
        EXPECT_TRUE(sameBytes(dir.read("app.ini"), crlf("a¶")));
        EXPECT_TRUE(sameBytes(dir.read("victim.txt"), crlf("victim¶")));
        EXPECT_EQ(isSymbolicLink(tmp), plant != hardLink);
        std::vector<std::string> names = {"app.ini", "victim.txt", temporaryName};
        EXPECT_EQ(dir.names(), names);
    }
}

ino_t inodeOf(const std::string &path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

TEST(SplicerFiles, SecondRunInTheSameDirectoryFailsWhileTheFirstHoldsTheTemporaryFile) {
    TempDir dir;
    dir.write("app.ini", crlf("a=1¶b¶"));
    dir.write("other.ini", crlf("b¶"));
    HeldRun first(dir.path, splicerProgram(), {"app.ini", "a", "@"});
    ASSERT_TRUE(appears(dir.at(temporaryName))) << "the first run creates the temporary file";
    // The temporary file appears at the opening; the first run then reads its lines and waits
    // for standard input at its first edit.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ino_t held = inodeOf(dir.at(temporaryName));

    for (std::string source : {"other.ini", "app.ini"}) {
        SCOPED_TRACE("second run on " + source);
        RunResult second = runIn(dir.path, splicerProgram(), {source, "b", "Y"});
        expectEnd(second, 32);
        EXPECT_TRUE(sameBytes(dir.read("other.ini"), crlf("b¶")));
        EXPECT_TRUE(sameBytes(dir.read("app.ini"), crlf("a=1¶b¶")));
        EXPECT_EQ(inodeOf(dir.at(temporaryName)), held) << "the first run's temporary file";
    }

    expectEnd(first.finish("p"), 0);
    expectFiles(dir, {{"app.ini", crlf("a=1¶p¶b¶")}, {"other.ini", crlf("b¶")}});
}

TEST(SplicerFiles, TemporaryFileIsPrivateFromItsCreation) {
    if (splicerProgram().emulated())
        GTEST_SKIP() << "permission bits are POSIX's";
    TempDir dir;
    dir.write("app.ini", crlf("a=1¶"));
    chmod(dir.at("app.ini").c_str(), 0600);
    FileMask mask(0);
    HeldRun run(dir.path, splicerProgram(), {"app.ini", "a", "@"});
    ASSERT_TRUE(appears(dir.at(temporaryName)));
    EXPECT_EQ(permissionBits(dir.at(temporaryName)), 0600u);
    expectEnd(run.finish("p"), 0);
    expectFiles(dir, {{"app.ini", crlf("a=1¶p¶")}});
    EXPECT_EQ(permissionBits(dir.at("app.ini")), 0600u);
}

TEST(SplicerFiles, SourceThatIsASymbolicLink) {
    if (splicerProgram().emulated())
        GTEST_SKIP() << "symbolic links are POSIX's";
    TempDir dir;
    mkdir(dir.at("sub").c_str(), 0700);
    dir.write("sub/real.ini", crlf("a=1¶b¶"));
    ASSERT_EQ(symlink("sub/real.ini", dir.at("app.ini").c_str()), 0);

    HeldRun run(dir.path, splicerProgram(), {"app.ini", "a", "@"});
    ASSERT_TRUE(appears(dir.at("sub/" + temporaryName)))
        << "the temporary file lies beside the file that is edited";
    EXPECT_FALSE(dir.exists(temporaryName));
    expectEnd(run.finish("p"), 0);

    EXPECT_TRUE(isSymbolicLink(dir.at("app.ini")));
    EXPECT_EQ(linkText(dir.at("app.ini")), "sub/real.ini");
    EXPECT_TRUE(sameBytes(dir.read("sub/real.ini"), crlf("a=1¶p¶b¶")));
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"app.ini", "sub"}));
    EXPECT_EQ(namesIn(dir.at("sub")), std::vector<std::string>{"real.ini"});
}

} // namespace
