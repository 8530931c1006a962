// SPLICER's one pass over the source file and the replacement of the source by the result.
#pragma once

#include "edit_window.h"
#include "options.h"

// Sets up the window and opens the files: the source for reading, then the output.
void openPassFiles(PassState &state, const SplicerOptions &options);

// Streams every line of the open source through the window, editing where the options say,
// then makes the end-of-file edit, writes out the window and closes the source, the output
// and the text file.
void passOverLines(PassState &state, const SplicerOptions &options);

// The whole run: opens the files, makes the pass and, unless /NEW= was given, erases the source
// and gives the result its name. Ends the program.
[[noreturn]] void runSplicerPass(const SplicerOptions &options);
