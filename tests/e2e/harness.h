// Runs the real programs as processes in a fresh temporary directory. The program paths and an
// optional launcher (for example an emulator) come from the environment, so the same cases run
// against every build:
//   SPLICER_PROGRAM, VALPICK_PROGRAM  the programs (default: this build's)
//   PROGRAM_LAUNCHER                  words put in front of the program, split at blanks
#pragma once

#include "../support/crlf.h"

#include <map>
#include <string>
#include <vector>

struct RunResult {
    std::string output;    // standard output, bytes as written
    int exitCode = -1;     // -1 when the process did not exit normally
    int signal = 0;        // the signal that ended the process, 0 when it exited
    bool timedOut = false; // it was killed after RunSettings::timeoutSeconds
};

// A fresh directory that is removed with everything in it at the end of the test.
struct TempDir {
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    std::string path;
    std::string at(const std::string &name) const { return path + "/" + name; }
    void write(const std::string &name, const std::string &bytes) const;
    std::string read(const std::string &name) const;
    bool exists(const std::string &name) const;
    // Names in the directory, sorted.
    std::vector<std::string> names() const;
    // Every name in the directory and below (a directory as "name/") with its bytes.
    std::map<std::string, std::string> snapshot() const;
};

// Names in directory, sorted ("." and ".." left out).
std::vector<std::string> namesIn(const std::string &directory);

struct Program {
    std::vector<std::string> launcher; // words in front of the program path
    std::string path;
    bool emulated() const { return !launcher.empty(); }
};

Program splicerProgram();
Program valpickProgram();

// Runs program with arguments in directory; standard input is stdinBytes (empty: an empty
// pipe), standard output is captured.
RunResult runIn(const std::string &directory, const Program &program,
                const std::vector<std::string> &arguments, const std::string &stdinBytes = "");

// How a program is run beyond its arguments.
struct RunSettings {
    std::string stdinBytes;               // standard input: a file of these bytes
    bool stdinClosed = false;             // the program starts without standard input
    std::vector<std::string> environment; // "NAME=value" entries that override this process's
    std::string stdoutPath;    // empty: captured in RunResult::output; else opened for writing
    bool stdoutClosed = false; // the program starts without standard output
    int timeoutSeconds = 0;    // > 0: the process is killed when it runs longer than that
    long killAfterMicroseconds = -1; // >= 0: the process is sent SIGKILL after that long
};

// Runs program with arguments in directory as settings say.
RunResult runWith(const std::string &directory, const Program &program,
                  const std::vector<std::string> &arguments, const RunSettings &settings);

// A run of program whose standard input is a pipe that the test holds open: a SPLICER run that
// reads its text from standard input ("@" alone) waits at its first edit, in the middle of its
// pass and with its files open, until finish() sends the text.
struct HeldRun {
    HeldRun(const std::string &directory, const Program &program,
            const std::vector<std::string> &arguments);
    HeldRun(const HeldRun &) = delete;
    HeldRun &operator=(const HeldRun &) = delete;
    ~HeldRun() { finish(""); }

    // Sends text as the whole standard input and waits for the end of the run.
    RunResult finish(const std::string &text);

    TempDir io;
    int pid = -1;
    int input = -1;
};

// Waits until path exists, for at most half a minute (an emulated program starts slowly).
bool appears(const std::string &path);

// The usage texts, byte for byte.
extern const char *const splicerUsage;
extern const char *const valpickUsage;

// True when output is exactly one runtime-error report with number.
bool isRuntimeErrorReport(const std::string &output, int number);
