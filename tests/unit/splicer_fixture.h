// Helpers for the tests of SPLICER's window, edit and pass.
#pragma once

#include "edit_window.h"
#include "scratch_dir.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

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
