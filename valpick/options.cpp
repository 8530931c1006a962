#include "options.h"

#include "foundation/line_file.h"

void printValpickUsage() {
    static const char* const lines[] = {
        "VALPICK   Peeks a value from an ini-file.",
        "usage: VALPICK File GROUP ValueName {options} [TEXT]",
        " GROUP : could optionally be enclossed in brackets.",
        " /DEF= : Value to return, if not found in inifile (default blank).",
        " /LINE : Return whole line, not only the value.",
        " /FULL : Return the full value, do NOT strip spaces at either end.",
        " TEXT  : Text to format output, the value will replace a #, or append if none.",
    };
    for (const char* line : lines) {
        writeLine(consoleOutput, line);
        checkIo();
    }
    endProgram();
}
