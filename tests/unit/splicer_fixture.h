// A scratch directory and a pass state whose output goes to a file there.
#pragma once

#include "edit_window.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

struct SplicerScratch {
    std::string path;
    SplicerScratch() {
        char pattern[] = "/tmp/splicer-unit.XXXXXX";
        path = mkdtemp(pattern);
    }
    ~SplicerScratch() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::string at(const std::string &name) const { return path + "/" + name; }
    void write(const std::string &name, const std::string &bytes) const {
        std::ofstream(at(name), std::ios::binary) << bytes;
    }
    std::string read(const std::string &name) const {
        std::ifstream in(at(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

// "a¶b" with ¶ standing for CR LF.
inline std::string crlfText(const std::string &text) {
    std::string result;
    const std::string mark = "\xC2\xB6";
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

// The window's text with "|" at the cursor and ¶ for CR LF.
inline std::string showWindow(const EditWindow &window) {
    std::string shown;
    std::string text = window.finished + "|" + std::string(unfinishedText(window));
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "\r\n") == 0) {
            shown += "\xC2\xB6";
            ++i;
        } else {
            shown += text[i];
        }
    }
    return shown;
}
