#include "options.h"

#include "foundation/arguments.h"
#include "foundation/file_names.h"
#include "foundation/line_file.h"

#include <string_view>

namespace {

constexpr int unrecognisedSwitch = 99;

// Applies one switch; returns false when it is not one of SPLICER's.
bool applySwitch(SplicerOptions &options, const std::string &argument) {
    std::string s = toUpperAscii(argument);
    if (s == "/REPL")
        options.replace = !options.replace;
    else if (s == "/NOLIN")
        options.characterMode = !options.characterMode;
    else if (s == "/C")
        options.caseSensitive = !options.caseSensitive;
    else if (s == "/ONCE")
        options.onlyOnce = !options.onlyOnce;
    else if (s == "/BEF")
        options.insertBefore = !options.insertBefore;
    else if (s == "/FIRST")
        options.position = PositionMode::firstLine;
    else if (s == "/LAST")
        options.position = PositionMode::lastLine;
    else if (startsWith(s, "/NEW=")) {
        options.newFileGiven = true;
        // Upper-cased where file names ignore case; as typed where case tells files apart. A
        // file name is never shortened: a cut name could be another file, which the run would
        // empty. One too long for the system fails when it is opened.
        options.outputPath = typedFileName(std::string_view(argument).substr(5));
    } else if (startsWith(s, "/INIGR=")) {
        options.groupGiven = true;
        options.groupHeader = switchValue(s, 7);
        if (options.groupHeader.empty() || options.groupHeader[0] != '[')
            options.groupHeader = "[" + options.groupHeader + "]";
    } else
        return false;
    return true;
}

} // namespace

SplicerOptions sortSplicerArguments(const std::vector<std::string> &arguments, bool &usable) {
    SplicerOptions options;
    int positionalCount = 0;
    for (const std::string &a : arguments) {
        if (!a.empty() && a[0] == '/') {
            if (!applySwitch(options, a))
                positionalCount = unrecognisedSwitch;
            continue;
        }
        ++positionalCount;
        if (positionalCount == 1)
            options.sourcePath = a;
        else if (positionalCount == 2)
            options.searchString = a;
        else if (positionalCount == 3)
            options.text = a;
    }

    if (options.position != PositionMode::searchHit) {
        // The second positional argument was TEXT, not a search string.
        options.text = options.searchString;
        options.searchString.clear();
        ++positionalCount;
        options.replace = false;
        options.onlyOnce = true;
        options.insertBefore = !(options.position == PositionMode::firstLine && options.groupGiven);
    }
    if (positionalCount == 2)
        options.replace = true;
    usable = positionalCount == 2 || positionalCount == 3;
    if (!usable)
        return options;
    if (options.replace)
        options.insertBefore = false;
    if (!options.caseSensitive)
        options.searchString = toUpperAscii(options.searchString);
    if (!options.text.empty() && options.text[0] == '@') {
        options.textFromFile = true;
        options.text.erase(0, 1);
    }
    return options;
}

SplicerOptions parseSplicerOptions() {
    bool usable = false;
    SplicerOptions options = sortSplicerArguments(allArguments(), usable);
    if (!usable)
        printSplicerUsage();
    // The source is edited where it really lies, so a symbolic link stays a link, and the
    // temporary file lies beside that file.
    options.editedPath = linkTarget(options.sourcePath);
    if (!options.newFileGiven)
        options.outputPath = siblingFileName(options.editedPath, temporaryFileName);
    return options;
}

void printSplicerUsage() {
    static const char *const lines[] = {
        "SPLICER   Modifiy a file, inserting/replacing either lines or text in a file.",
        "usage: SPLICER File SEARCHstring|/FIRST|/LAST [TEXT] {switches}",
        " /FIRST, /LAST or SEARCHstring -> position in file/ini-group.",
        " TEXT    What to insert/replace the found. TEXT is a string, a filename with a",
        "         leading \"@\" or nothing (i.e. remove the line/text).",
        " /C      Casesensitive search for SEARCHstring.",
        " /NOLIN  Insert/replace characters, not whole lines.",
        " /ONCE   Modify first found occurence only.",
        " /REPL   Replace instead of insert.",
        " /BEF    If insert, insert text before the found text (default after).",
        " /INIGR= Search in specified IniFileGroup only (eg. [Boot] ).",
        " /NEW=   Create specified file, default: return output to sourcefile.",
    };
    for (const char *line : lines) {
        writeLine(consoleOutput, line);
        checkIo();
    }
    endProgram();
}
