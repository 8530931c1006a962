#include "options.h"

#include "foundation/arguments.h"
#include "foundation/line_file.h"

#include <string_view>

namespace {

// Applies one switch; any switch VALPICK does not know is ignored without a message.
void applySwitch(ValpickOptions &options, const std::string &argument) {
    std::string s = toUpperAscii(argument);
    if (s == "/FULL")
        options.full = !options.full;
    else if (s == "/LINE")
        options.wholeLine = !options.wholeLine;
    else if (startsWith(s, "/DEF="))
        options.value = switchValue(s, 5);
}

// Stores positional argument a by its place among the positional arguments.
void applyPositional(ValpickOptions &options, const std::string &a) {
    ++options.positionalCount;
    if (options.positionalCount == 1)
        options.fileName = a;
    else if (options.positionalCount == 2)
        options.group = toUpperAscii(a);
    else if (options.positionalCount == 3)
        options.valueName = toUpperAscii(a);
    else if (options.positionalCount == 4)
        options.text = a;
    else
        options.text += " " + a;
}

} // namespace

ValpickOptions sortValpickArguments(const std::vector<std::string> &arguments) {
    ValpickOptions options;
    for (const std::string &a : arguments) {
        if (!a.empty() && a[0] == '/')
            applySwitch(options, a);
        else
            applyPositional(options, a);
    }
    if (options.positionalCount < valpickRequiredPositionals)
        return options;
    // Header lines are compared whole, so the group takes the bracketed form they have; a group
    // typed with its opening bracket is taken as the user wrote it.
    if (options.group.empty() || options.group[0] != '[')
        options.group = "[" + options.group + "]";
    return options;
}

ValpickOptions readValpickCommandLine() {
    ValpickOptions options = sortValpickArguments(allArguments());
    if (options.positionalCount < valpickRequiredPositionals)
        printValpickUsage();
    return options;
}

void printValpickUsage() {
    static const char *const lines[] = {
        "VALPICK   Peeks a value from an ini-file.",
        "usage: VALPICK File GROUP ValueName {options} [TEXT]",
        " GROUP : could optionally be enclossed in brackets.",
        " /DEF= : Value to return, if not found in inifile (default blank).",
        " /LINE : Return whole line, not only the value.",
        " /FULL : Return the full value, do NOT strip spaces at either end.",
        " TEXT  : Text to format output, the value will replace a #, or append if none.",
    };
    for (const char *line : lines) {
        writeLine(consoleOutput, line);
        checkIo();
    }
    endProgram();
}
