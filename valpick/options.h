// VALPICK's command line: the options record, its reading and the usage text.
#pragma once

#include <string>
#include <vector>

// Everything a run needs: filled once from the command line; the lookup then stores the value.
struct ValpickOptions {
    std::string fileName;  // the INI file, as typed
    std::string group;     // upper-cased; in brackets unless typed with a leading "["
    std::string valueName; // upper-cased
    std::string text;      // the template: the fourth and later positional arguments, joined by " "
    std::string value;     // the "/DEF=" default (upper-cased) until the entry is found
    bool full = false;     // "/FULL": keep the blanks around the value
    bool wholeLine = false; // "/LINE": the whole entry line instead of the value
    int positionalCount = 0;
};

// The fewest positional arguments (File, GROUP, ValueName) that make a usable command line.
inline constexpr int valpickRequiredPositionals = 3;

// Sorts arguments (1 to n, without the program name) into options. The group gets its brackets
// only when at least three positional arguments were given. Touches no file.
ValpickOptions sortValpickArguments(const std::vector<std::string> &arguments);

// Reads the process's arguments into options; prints the usage text and ends the program when
// fewer than three positional arguments were given.
ValpickOptions readValpickCommandLine();

// Writes the seven usage lines to standard output and ends the program with exit code 0.
[[noreturn]] void printValpickUsage();
