// SPLICER's command line: the options record, its parsing and the usage text.
#pragma once

#include <string>
#include <vector>

// Where edits happen.
enum class PositionMode { searchHit, firstLine, lastLine };

// Everything a run needs, filled once from the command line.
struct SplicerOptions {
    std::string sourcePath;   // the file to modify, as typed
    std::string editedPath;   // the file that is read and replaced: sourcePath, or the final
                              // target where sourcePath is a symbolic link
    std::string searchString; // upper-cased unless caseSensitive; empty with /FIRST and /LAST
    std::string text;         // TEXT, or the "@" file's name without the "@"
    bool textFromFile = false;
    std::string outputPath;  // the /NEW= file, or the temporary file beside the source
    std::string groupHeader; // the /INIGR= header in brackets, upper-cased
    PositionMode position = PositionMode::searchHit;
    bool replace = false;
    bool caseSensitive = false;
    bool onlyOnce = false;
    bool characterMode = false;
    bool insertBefore = false;
    bool groupGiven = false;
    bool newFileGiven = false;
};

// The name of the temporary file that holds the result until it replaces the source.
inline constexpr const char *temporaryFileName = "~~splc~~.tmp";

// Sorts arguments (1 to n, without the program name) into options and derives the effective
// settings; usable says whether the command line has one of the accepted shapes. Touches no file.
SplicerOptions sortSplicerArguments(const std::vector<std::string> &arguments, bool &usable);

// Reads the process's arguments into options; prints the usage text and ends the program when
// the command line is not usable. Completes the paths of the files that the pass uses.
SplicerOptions parseSplicerOptions();

// Writes the twelve usage lines to standard output and ends the program with exit code 0.
[[noreturn]] void printSplicerUsage();
