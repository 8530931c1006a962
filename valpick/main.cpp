// VALPICK: prints one value of one group of an INI file, placed into a template.
#include "foundation/line_file.h"
#include "lookup.h"
#include "options.h"

int main() {
    startConsoleProgram();
    ValpickOptions options = readValpickCommandLine();
    findValue(options);
    printResult(options);
    endProgram();
}
