// SPLICER: inserts, replaces or removes text at the places of a file that a search string, the
// first line or the last line gives, and replaces the file safely.
#include "foundation/line_file.h"
#include "options.h"
#include "pass.h"

int main() {
    startConsoleProgram();
    SplicerOptions options = parseSplicerOptions();
    runSplicerPass(options);
}
