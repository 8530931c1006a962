// VALPICK: prints one value of one group of an INI file, placed into a template.
#include "foundation/line_file.h"
#include "options.h"

int main() {
    startConsoleProgram();
    printValpickUsage();
}
