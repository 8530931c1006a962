// What only the Windows programs show, run under the launcher (Wine): the command line split as
// typed, sharing between two programs, the read-only attribute, Windows paths and their length
// limit. Each case skips, saying why, when the programs run natively.
#include "harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace {

const char *const nativeReason = "Windows only: the programs run natively, not under the launcher";
const std::string temporaryName = "~~splc~~.tmp";

// The launcher's Windows path of a host path: Wine's drive Z: is the host's root.
std::string windowsPath(const std::string &hostPath) {
    std::string path = "Z:" + hostPath;
    for (char &c : path)
        if (c == '/')
            c = '\\';
    return path;
}

// A Windows command run through the launcher, such as cmd.
Program windowsCommand(const Program &like, const std::string &name) {
    return Program{like.launcher, name};
}

// Runs program in directory with the command line typed exactly as tail after the quoted program
// path, as a line of a batch file: cmd hands that line to the program unchanged.
RunResult runTyped(const std::string &directory, const Program &program, const std::string &tail,
                   const std::string &programPath = "") {
    TempDir script;
    std::string path = programPath.empty() ? program.path : programPath;
    script.write("run.bat", "@\"" + windowsPath(path) + "\" " + tail + "\r\n");
    return runIn(directory, windowsCommand(program, "cmd"),
                 {"/c", windowsPath(script.at("run.bat"))});
}

bool copyFile(const std::string &from, const std::string &to) {
    FILE *in = std::fopen(from.c_str(), "rb");
    if (in == nullptr)
        return false;
    FILE *out = std::fopen(to.c_str(), "wb");
    bool copied = out != nullptr;
    char block[65536];
    for (std::size_t got; copied && (got = std::fread(block, 1, sizeof block, in)) > 0;)
        copied = std::fwrite(block, 1, got, out) == got;
    std::fclose(in);
    if (out != nullptr && std::fclose(out) != 0)
        copied = false;
    return copied;
}

void expectReport(const RunResult &run, int number) {
    EXPECT_TRUE(isRuntimeErrorReport(run.output, number)) << run.output;
    EXPECT_EQ(run.exitCode, number);
}

// The first file argument of the command-line cases holds "first¶file <name>¶", so SPLICER's
// output shows which file it read and which text it inserted.
std::string fileText(const std::string &name) {
    return crlf("first¶file " + name + "¶");
}

struct TypedCase {
    const char *typed;                  // the command line after "/FIRST /NEW=", as typed
    std::vector<std::string> arguments; // File and TEXT as the program must see them
};

TEST(WindowsCommandLine, SplitAsTyped) {
    Program splicer = splicerProgram();
    if (!splicer.emulated())
        GTEST_SKIP() << nativeReason << "; each POSIX argument is one argument";
    // With /FIRST and /NEW= (standard output), SPLICER prints TEXT, then the file's lines; with
    // no TEXT it removes the first line. No File, or a third argument, gives the usage text.
    const TypedCase cases[] = {
        {"", {}},
        {"a   b", {"a", "b"}},
        {"a\t \tb", {"a", "b"}},
        {"\"My Files\\a.ini\" x", {"My Files\\a.ini", "x"}},
        {"\"\" a", {"a"}},
        {"a \"\"", {"a"}},
        {"\"\" \"\"", {}},
        {"a\"\"b", {"ab"}},
        {"\"ab\"\"cd\"", {"abcd"}},
        {"\"a b\"c", {"a bc"}},
        {"ab\"c d\"e", {"abc de"}},
        {"a \"b c", {"a", "b c"}},
        {"a \"", {"a"}},
        {"a \"x\ty\"", {"a", "x\ty"}},
        {"a \"C:\\x\\\"", {"a", "C:\\x\\"}}, // a backslash escapes nothing
        {"a b c", {"a", "b", "c"}},
    };
    for (const TypedCase &c : cases) {
        SCOPED_TRACE(std::string("typed: ") + c.typed);
        TempDir dir;
        mkdir(dir.at("My Files").c_str(), 0700);
        for (const char *name : {"a", "ab", "abcd", "a bc", "abc de"})
            dir.write(name, fileText(name));
        dir.write("My Files/a.ini", fileText("My Files\\a.ini"));

        RunResult run = runTyped(dir.path, splicer, std::string("/FIRST /NEW= ") + c.typed);
        std::string expected;
        if (c.arguments.size() == 1)
            expected = crlf("file " + c.arguments[0] + "¶");
        else if (c.arguments.size() == 2)
            expected = crlf(c.arguments[1] + "¶") + fileText(c.arguments[0]);
        else
            expected = splicerUsage;
        EXPECT_EQ(run.output, expected);
        EXPECT_EQ(run.exitCode, 0);
    }
}

TEST(WindowsCommandLine, QuotedSwitchValueKeepsItsBlankAndNamesTheFileUpperCased) {
    Program splicer = splicerProgram();
    if (!splicer.emulated())
        GTEST_SKIP() << nativeReason << "; POSIX keeps a /NEW= name as typed";
    TempDir dir;
    dir.write("app.ini", crlf("[Main]¶Path=1¶"));
    RunResult run = runTyped(dir.path, splicer, "app.ini /LAST x=1 /new=\"New copy.ini\"");
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"NEW COPY.INI", "app.ini"}));
    EXPECT_EQ(dir.read("NEW COPY.INI"), crlf("[Main]¶Path=1¶x=1¶"));
    EXPECT_EQ(dir.read("app.ini"), crlf("[Main]¶Path=1¶"));
}

TEST(WindowsCommandLine, QuotedProgramPathWithBlankIsSkippedWhole) {
    Program splicer = splicerProgram();
    if (!splicer.emulated())
        GTEST_SKIP() << nativeReason << "; the POSIX program name is one argument";
    TempDir place;
    mkdir(place.at("Program Files").c_str(), 0700);
    std::string copy = place.at("Program Files/splicer.exe");
    ASSERT_TRUE(copyFile(splicer.path, copy));

    TempDir dir;
    dir.write("a", fileText("a"));
    RunResult run = runTyped(dir.path, splicer, "/FIRST /NEW= a", copy);
    EXPECT_EQ(run.output, crlf("file a¶"));
    EXPECT_EQ(run.exitCode, 0);
}

TEST(WindowsFiles, ValpickIsRefusedWhileSplicerReadsTheFile) {
    Program splicer = splicerProgram();
    Program valpick = valpickProgram();
    if (!splicer.emulated() || !valpick.emulated())
        GTEST_SKIP() << nativeReason
                     << "; on POSIX the share rules hold only among one run's own open files";
    TempDir dir;
    dir.write("app.ini", crlf("[Main]¶Path=1¶"));
    // SPLICER holds app.ini open for reading (others may only write) and the temporary file for
    // writing (others may only read) while it waits for its text on standard input.
    HeldRun held(dir.path, splicer, {"app.ini", "/FIRST", "@"});
    ASSERT_TRUE(appears(dir.at(temporaryName))) << "SPLICER opens its files";

    expectReport(runIn(dir.path, valpick, {"app.ini", "Main", "Path"}), 32);
    RunResult partial = runIn(dir.path, valpick, {temporaryName, "Main", "Path", "/DEF=none"});
    EXPECT_EQ(partial.output, "NONE\r\n") << "a file being written may be read";
    EXPECT_EQ(partial.exitCode, 0);

    RunResult first = held.finish(crlf("top¶"));
    EXPECT_EQ(first.output, "");
    EXPECT_EQ(first.exitCode, 0);
    EXPECT_EQ(dir.read("app.ini"), crlf("top¶[Main]¶Path=1¶"));
    EXPECT_EQ(dir.names(), std::vector<std::string>{"app.ini"});
}

TEST(WindowsFiles, ReadOnlySourceLeavesTheResultInTheTemporaryFile) {
    Program splicer = splicerProgram();
    if (!splicer.emulated())
        GTEST_SKIP() << nativeReason << "; the POSIX build's read-only files are permission bits";
    TempDir dir;
    dir.write("app.ini", crlf("[Main]¶Path=1¶"));
    Program cmd = windowsCommand(splicer, "cmd");
    ASSERT_EQ(runIn(dir.path, cmd, {"/c", "attrib", "+r", "app.ini"}).exitCode, 0);

    expectReport(runIn(dir.path, splicer, {"app.ini", "path", "Backup=1"}), 5);
    EXPECT_EQ(dir.read("app.ini"), crlf("[Main]¶Path=1¶"));
    EXPECT_EQ(dir.read(temporaryName), crlf("[Main]¶Path=1¶Backup=1¶"));

    // Once the attribute is gone, the next run empties the file left behind and uses it.
    ASSERT_EQ(runIn(dir.path, cmd, {"/c", "attrib", "-r", "app.ini"}).exitCode, 0);
    RunResult again = runIn(dir.path, splicer, {"app.ini", "/FIRST", "top"});
    EXPECT_EQ(again.output, "");
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_EQ(dir.read("app.ini"), crlf("top¶[Main]¶Path=1¶"));
    EXPECT_EQ(dir.names(), std::vector<std::string>{"app.ini"});
}

struct FailingRun {
    const char *name;
    bool splicer;                       // else VALPICK
    std::vector<std::string> arguments; // "<dir>" stands for the run's directory
    int number;
    bool temporaryFileStays; // the pass had begun: its output stays, as far as it was written
};

TEST(WindowsFiles, MissingFileOrFolderEndsWithTheReport) {
    if (!splicerProgram().emulated())
        GTEST_SKIP() << nativeReason << "; the cases use Windows paths";
    const FailingRun runs[] = {
        {"missing source", true, {"missing.ini", "x"}, 2, false},
        {"source in a missing folder", true, {"absent\\app.ini", "x"}, 3, false},
        {"missing folder by drive letter", true, {"<dir>\\absent\\app.ini", "x"}, 3, false},
        {"slashes separate folders too", true, {"absent/app.ini", "x"}, 3, false},
        {"new file in a missing folder", true, {"app.ini", "x", "/NEW=absent\\out.ini"}, 3, false},
        {"missing text file", true, {"app.ini", "/FIRST", "@missing.txt"}, 2, true},
        {"text file in a missing folder", true, {"app.ini", "/FIRST", "@absent\\t.txt"}, 3, true},
        {"missing INI file", false, {"missing.ini", "Main", "Path"}, 2, false},
        {"INI file in a missing folder", false, {"absent\\app.ini", "Main", "Path"}, 3, false},
    };
    for (const FailingRun &run : runs) {
        SCOPED_TRACE(run.name);
        TempDir dir;
        dir.write("app.ini", crlf("[Main]¶Path=1¶"));
        std::vector<std::string> arguments = run.arguments;
        for (std::string &argument : arguments)
            if (argument.rfind("<dir>", 0) == 0)
                argument.replace(0, 5, windowsPath(dir.path));

        expectReport(runIn(dir.path, run.splicer ? splicerProgram() : valpickProgram(), arguments),
                     run.number);
        EXPECT_EQ(dir.read("app.ini"), crlf("[Main]¶Path=1¶"));
        std::vector<std::string> names = {"app.ini"};
        if (run.temporaryFileStays)
            names.push_back(temporaryName);
        EXPECT_EQ(dir.names(), names);
    }
}

TEST(WindowsFiles, BackslashPathsAndDotDotResolvedWithoutTheDisk) {
    Program splicer = splicerProgram();
    if (!splicer.emulated())
        GTEST_SKIP() << nativeReason << "; the cases use Windows paths";
    TempDir dir;
    mkdir(dir.at("sub").c_str(), 0700);
    dir.write("sub/app.ini", crlf("[Main]¶Path=1¶"));

    // The temporary file lies beside the source: "sub\app.ini\..\~~splc~~.tmp" is in sub.
    HeldRun edit(dir.path, splicer, {"sub\\app.ini", "path", "@"});
    ASSERT_TRUE(appears(dir.at("sub/" + temporaryName)));
    EXPECT_EQ(dir.names(), std::vector<std::string>{"sub"});
    RunResult edited = edit.finish(crlf("Backup=1¶"));
    EXPECT_EQ(edited.output, "");
    EXPECT_EQ(edited.exitCode, 0);
    EXPECT_EQ(dir.read("sub/app.ini"), crlf("[Main]¶Path=1¶Backup=1¶"));
    EXPECT_EQ(namesIn(dir.at("sub")), std::vector<std::string>{"app.ini"});

    // A folder before ".." need not exist.
    RunResult pick =
        runIn(dir.path, valpickProgram(), {"absent\\..\\sub\\app.ini", "Main", "Backup"});
    EXPECT_EQ(pick.output, "1\r\n");
    EXPECT_EQ(pick.exitCode, 0);
}

TEST(WindowsFiles, NamesLongerThan259CharactersAreRefusedNotShortened) {
    Program splicer = splicerProgram();
    if (!splicer.emulated())
        GTEST_SKIP() << nativeReason << "; POSIX names are as long as the system takes them";
    TempDir dir;
    // 259 characters in three parts (a host name part holds at most 255 bytes).
    const std::string a(100, 'a'), b(100, 'b');
    const std::string longest = a + "\\" + b + "\\" + std::string(57, 'c');
    ASSERT_EQ(longest.size(), 259u);
    mkdir(dir.at(a).c_str(), 0700);
    mkdir(dir.at(a + "/" + b).c_str(), 0700);
    dir.write(a + "/" + b + "/" + std::string(57, 'c'), crlf("[Main]¶Path=1¶"));

    RunResult whole = runIn(dir.path, valpickProgram(), {longest, "Main", "Path"});
    EXPECT_EQ(whole.output, "1\r\n");
    EXPECT_EQ(whole.exitCode, 0);
    // Cut to 259 characters, this name would be the file above.
    expectReport(runIn(dir.path, valpickProgram(), {longest + "c", "Main", "Path"}), 206);

    // A source that fits, whose temporary path (16 characters more) does not.
    const std::string source = a + "\\" + std::string(149, 's');
    ASSERT_EQ(source.size() + 16, 266u);
    dir.write(a + "/" + std::string(149, 's'), crlf("[Main]¶Path=1¶"));
    expectReport(runIn(dir.path, splicer, {source, "path", "x"}), 206);
    EXPECT_EQ(dir.read(a + "/" + std::string(149, 's')), crlf("[Main]¶Path=1¶"));
    EXPECT_EQ(namesIn(dir.at(a)), (std::vector<std::string>{b, std::string(149, 's')}))
        << "no file of a shortened name is made";
}

} // namespace
