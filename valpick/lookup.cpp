#include "lookup.h"

#include "foundation/arguments.h"
#include "foundation/line_file.h"

#include <string_view>

namespace {

// The INI file. It is only read, and it stays open until the program ends.
LineFile iniFile;

// True when line, upper-cased, is exactly header: nothing may stand before or after it.
bool isHeader(const std::string &line, const std::string &header) {
    return line.size() == header.size() && toUpperAscii(line) == header;
}

// True when line is an entry named valueName (upper-cased): the name in the first column, any
// blanks, then "=". equalsAt receives the index of that "=".
bool isEntry(const std::string &line, const std::string &valueName, std::size_t &equalsAt) {
    std::size_t n = valueName.size();
    if (line.size() < n || toUpperAscii(std::string_view(line).substr(0, n)) != valueName)
        return false;
    std::size_t i = n;
    while (i < line.size() && line[i] == ' ')
        ++i;
    if (i == line.size() || line[i] != '=')
        return false;
    equalsAt = i;
    return true;
}

// The value of an entry whose "=" stands at equalsAt: the rest of the line, stripped of blanks
// (not tabs) at both ends unless full.
std::string entryValue(const std::string &line, std::size_t equalsAt, bool full) {
    std::size_t first = equalsAt + 1;
    std::size_t end = line.size();
    if (!full) {
        while (first < end && line[first] == ' ')
            ++first;
        while (end > first && line[end - 1] == ' ')
            --end;
    }
    return line.substr(first, end - first);
}

} // namespace

void findValue(ValpickOptions &options) {
    assignName(iniFile, options.fileName);
    openForReading(iniFile);
    checkIo();
    bool inGroup = false;
    bool found = false;
    std::string line; // one buffer for every line read
    while (!found) {
        bool ended = atEnd(iniFile);
        checkIo();
        if (ended)
            break;
        readLineInto(iniFile, line);
        checkIo();
        if (!inGroup) {
            inGroup = isHeader(line, options.group);
            continue;
        }
        // Any bracketed line inside the group starts another group; it never reopens this one.
        if (!line.empty() && line[0] == '[') {
            inGroup = false;
            continue;
        }
        std::size_t equalsAt = 0;
        if (!isEntry(line, options.valueName, equalsAt))
            continue;
        found = true;
        options.value = options.wholeLine ? line : entryValue(line, equalsAt, options.full);
    }
}

void printResult(const ValpickOptions &options) {
    std::string_view text = options.text;
    std::size_t mark = text.find('#');
    std::string_view before = text.substr(0, mark);
    std::string_view after = mark == std::string_view::npos ? "" : text.substr(mark + 1);
    writeText(consoleOutput, before);
    writeText(consoleOutput, options.value);
    writeLine(consoleOutput, after);
    checkIo();
}
