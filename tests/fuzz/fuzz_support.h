// Shared by the fuzz targets: the invariant check, a scratch directory, and the lines of a file
// as the programs read them, worked out independently of the reader under test.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

// A broken invariant is a crash to libFuzzer, which keeps the input that showed it.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "invariant broken at %s:%d: %s\n", __FILE__, __LINE__,            \
                         #condition);                                                              \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

// A directory of this process for the files of one input at a time; removed at the end. It lies
// in memory where it can: closing a written file syncs it to the disk, thousands of times a second.
struct ScratchDirectory {
    std::filesystem::path path;
    ScratchDirectory() {
        std::error_code error;
        std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error)
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
        std::string pattern = (base / "fuzz.XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            std::abort();
        path = pattern;
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string at(const char *name) const { return (path / name).string(); }
};

inline void writeBytes(const std::string &path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        std::abort();
}

inline std::string readBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The lines of bytes: a ^Z ends the data, a line ends at a CR and one LF right after it.
inline std::vector<std::string> linesOf(std::string_view bytes) {
    std::string_view data = bytes.substr(0, bytes.find('\x1A'));
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < data.size();) {
        std::size_t end = std::min(data.find('\r', at), data.size());
        lines.emplace_back(data.substr(at, end - at));
        at = end + 1;
        if (end < data.size() && at < data.size() && data[at] == '\n')
            ++at;
    }
    return lines;
}
