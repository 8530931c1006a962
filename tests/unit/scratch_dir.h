// A fresh directory for one test, removed with everything in it at the end.
#pragma once

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

struct ScratchDir {
    std::string path;
    ScratchDir() {
        char pattern[] = "/tmp/unit.XXXXXX";
        path = mkdtemp(pattern);
    }
    ~ScratchDir() { std::system(("chmod -R u+w '" + path + "'; rm -rf '" + path + "'").c_str()); }
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;

    std::string at(const std::string &name) const { return path + "/" + name; }
    void write(const std::string &name, const std::string &bytes) const {
        std::ofstream(at(name), std::ios::binary) << bytes;
    }
    std::string read(const std::string &name) const {
        std::ifstream in(at(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};
