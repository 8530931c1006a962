// Helpers for the tests of SPLICER's window, edit and pass.
#pragma once

#include "../support/crlf.h"
#include "edit_window.h"
#include "scratch_dir.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

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
