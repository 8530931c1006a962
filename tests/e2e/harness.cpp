#include "harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <ftw.h>
#include <iterator>
#include <regex>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

TempDir::TempDir() {
    const char *base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/e2e.XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path = buffer.data();
}

static int removeEntry(const char *name, const struct stat *, int, struct FTW *) {
    chmod(name, 0700);
    return remove(name);
}

TempDir::~TempDir() {
    chmod(path.c_str(), 0700);
    nftw(path.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

void TempDir::write(const std::string &name, const std::string &bytes) const {
    std::ofstream out(at(name), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + at(name));
}

std::string TempDir::read(const std::string &name) const {
    std::ifstream in(at(name), std::ios::binary);
    if (!in)
        return "<missing>";
    std::ostringstream bytes; // one bulk copy: files of many megabytes are read fast
    bytes << in.rdbuf();
    return bytes.str();
}

bool TempDir::exists(const std::string &name) const {
    struct stat st;
    return lstat(at(name).c_str(), &st) == 0;
}

std::vector<std::string> namesIn(const std::string &directory) {
    std::vector<std::string> result;
    if (DIR *dir = opendir(directory.c_str())) {
        while (dirent *entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..")
                result.push_back(name);
        }
        closedir(dir);
    }
    std::sort(result.begin(), result.end());
    return result;
}

std::vector<std::string> TempDir::names() const {
    return namesIn(path);
}

std::map<std::string, std::string> TempDir::snapshot() const {
    std::map<std::string, std::string> files;
    std::vector<std::string> pending = {""};
    while (!pending.empty()) {
        std::string folder = pending.back();
        pending.pop_back();
        DIR *dir = opendir(at(folder).c_str());
        if (dir == nullptr)
            continue;
        while (dirent *entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            std::string relative = folder + name;
            struct stat st;
            if (lstat(at(relative).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
                files[relative + "/"] = "";
                pending.push_back(relative + "/");
            } else {
                files[relative] = read(relative);
            }
        }
        closedir(dir);
    }
    return files;
}

static Program programFrom(const char *variable, const char *fallback) {
    Program program;
    const char *chosen = std::getenv(variable);
    program.path = chosen && *chosen ? chosen : fallback;
    if (const char *launcher = std::getenv("PROGRAM_LAUNCHER")) {
        std::istringstream words(launcher);
        for (std::string word; words >> word;)
            program.launcher.push_back(word);
    }
    return program;
}

Program splicerProgram() {
    return programFrom("SPLICER_PROGRAM", DEFAULT_SPLICER);
}
Program valpickProgram() {
    return programFrom("VALPICK_PROGRAM", DEFAULT_VALPICK);
}

RunResult runIn(const std::string &directory, const Program &program,
                const std::vector<std::string> &arguments, const std::string &stdinBytes) {
    RunSettings settings;
    settings.stdinBytes = stdinBytes;
    return runWith(directory, program, arguments, settings);
}

// This process's environment with the "NAME=value" entries of overrides in place of its own.
static std::vector<std::string> environmentWith(const std::vector<std::string> &overrides) {
    auto nameOf = [](const std::string &entry) { return entry.substr(0, entry.find('=')); };
    std::vector<std::string> entries;
    for (char **entry = environ; *entry != nullptr; ++entry) {
        std::string name = nameOf(*entry);
        if (std::none_of(overrides.begin(), overrides.end(),
                         [&](const std::string &o) { return nameOf(o) == name; }))
            entries.push_back(*entry);
    }
    entries.insert(entries.end(), overrides.begin(), overrides.end());
    return entries;
}

static std::vector<char *> pointersTo(std::vector<std::string> &words) {
    std::vector<char *> pointers;
    for (auto &word : words)
        pointers.push_back(word.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Waits for pid; kills it at killAt (when set) or when it outlives timeoutSeconds.
static int waitFor(pid_t pid, const RunSettings &settings, RunResult &result) {
    using Clock = std::chrono::steady_clock;
    auto start = Clock::now();
    int status = 0;
    if (settings.killAfterMicroseconds >= 0) {
        std::this_thread::sleep_until(start +
                                      std::chrono::microseconds(settings.killAfterMicroseconds));
        kill(pid, SIGKILL); // a process that has ended already is not touched
    } else if (settings.timeoutSeconds > 0) {
        auto deadline = start + std::chrono::seconds(settings.timeoutSeconds);
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (Clock::now() > deadline) {
                kill(pid, SIGKILL);
                result.timedOut = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        if (!result.timedOut)
            return status;
    }
    waitpid(pid, &status, 0);
    return status;
}

RunResult runWith(const std::string &directory, const Program &program,
                  const std::vector<std::string> &arguments, const RunSettings &settings) {
    std::vector<std::string> words = program.launcher;
    words.push_back(program.path);
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv = pointersTo(words);
    std::vector<std::string> environment = environmentWith(settings.environment);
    std::vector<char *> envp = pointersTo(environment);

    TempDir io;
    std::string inPath = io.at("stdin");
    std::string outPath = settings.stdoutPath.empty() ? io.at("stdout") : settings.stdoutPath;
    io.write("stdin", settings.stdinBytes);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (settings.stdinClosed)
        posix_spawn_file_actions_addclose(&actions, 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
    if (settings.stdoutClosed)
        posix_spawn_file_actions_addclose(&actions, 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
    posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    pid_t pid = 0;
    int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    RunResult result;
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << argv[0];
        return result;
    }
    int status = waitFor(pid, settings, result);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    if (settings.stdoutPath.empty() && !settings.stdoutClosed)
        result.output = io.read("stdout");
    return result;
}

const char *const splicerUsage =
    "SPLICER   Modifiy a file, inserting/replacing either lines or text in a file.\r\n"
    "usage: SPLICER File SEARCHstring|/FIRST|/LAST [TEXT] {switches}\r\n"
    " /FIRST, /LAST or SEARCHstring -> position in file/ini-group.\r\n"
    " TEXT    What to insert/replace the found. TEXT is a string, a filename with a\r\n"
    "         leading \"@\" or nothing (i.e. remove the line/text).\r\n"
    " /C      Casesensitive search for SEARCHstring.\r\n"
    " /NOLIN  Insert/replace characters, not whole lines.\r\n"
    " /ONCE   Modify first found occurence only.\r\n"
    " /REPL   Replace instead of insert.\r\n"
    " /BEF    If insert, insert text before the found text (default after).\r\n"
    " /INIGR= Search in specified IniFileGroup only (eg. [Boot] ).\r\n"
    " /NEW=   Create specified file, default: return output to sourcefile.\r\n";

const char *const valpickUsage =
    "VALPICK   Peeks a value from an ini-file.\r\n"
    "usage: VALPICK File GROUP ValueName {options} [TEXT]\r\n"
    " GROUP : could optionally be enclossed in brackets.\r\n"
    " /DEF= : Value to return, if not found in inifile (default blank).\r\n"
    " /LINE : Return whole line, not only the value.\r\n"
    " /FULL : Return the full value, do NOT strip spaces at either end.\r\n"
    " TEXT  : Text to format output, the value will replace a #, or append if none.\r\n";

HeldRun::HeldRun(const std::string &directory, const Program &program,
                 const std::vector<std::string> &arguments) {
    std::vector<std::string> words = program.launcher;
    words.push_back(program.path);
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv = pointersTo(words);

    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return;
    input = ends[1];
    std::string outPath = io.at("stdout");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[0], 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    pid_t child = -1;
    if (posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ) == 0)
        pid = child;
    posix_spawn_file_actions_destroy(&actions);
    close(ends[0]);
}

RunResult HeldRun::finish(const std::string &text) {
    RunResult result;
    if (input >= 0) {
        std::signal(SIGPIPE, SIG_IGN);
        if (write(input, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
            ADD_FAILURE() << "cannot send standard input";
        close(input);
        input = -1;
    }
    if (pid > 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        pid = -1;
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.output = io.read("stdout");
    }
    return result;
}

bool appears(const std::string &path) {
    struct stat st;
    for (int i = 0; i < 3000; ++i) {
        if (lstat(path.c_str(), &st) == 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

bool isRuntimeErrorReport(const std::string &output, int number) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%3d", number);
    std::regex pattern(std::string("Runtime error ") + digits + " at [0-9A-F]{8}\r\n");
    return std::regex_match(output, pattern);
}
