#include "harness.h"

#include <gtest/gtest.h>

#include <algorithm>
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
#include <unistd.h>

extern char **environ;

std::string crlf(const std::string &text) {
    std::string result;
    const std::string mark = "\xC2\xB6"; // ¶
    for (std::size_t i = 0; i < text.size();) {
        if (text.compare(i, mark.size(), mark) == 0) {
            result += "\r\n";
            i += mark.size();
        } else {
            result += text[i++];
        }
    }
    return result;
}

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
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool TempDir::exists(const std::string &name) const {
    struct stat st;
    return lstat(at(name).c_str(), &st) == 0;
}

std::vector<std::string> TempDir::names() const {
    std::vector<std::string> result;
    if (DIR *dir = opendir(path.c_str())) {
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
    std::vector<std::string> words = program.launcher;
    words.push_back(program.path);
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (auto &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    TempDir io;
    std::string inPath = io.at("stdin"), outPath = io.at("stdout");
    io.write("stdin", stdinBytes);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    pid_t pid = 0;
    int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    RunResult result;
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << argv[0];
        return result;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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

bool isRuntimeErrorReport(const std::string &output, int number) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%3d", number);
    std::regex pattern(std::string("Runtime error ") + digits + " at [0-9A-F]{8}\r\n");
    return std::regex_match(output, pattern);
}
