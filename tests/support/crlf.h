// Fixture text in the tests' own notation: every ¶ stands for CR LF.
#pragma once

#include <string>

// text with every ¶ (UTF-8 C2 B6) replaced by CR LF.
inline std::string crlf(const std::string &text) {
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
