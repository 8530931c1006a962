// VALPICK's work: the lookup of one entry in one group of an INI file, and the result line.
#pragma once

#include "options.h"

#include <string>

// One forward pass over options.fileName up to the first entry named options.valueName inside
// options.group; on a hit, stores its value (or its whole line with wholeLine) in options.value.
// Reads nothing after the hit and never writes the file; ends the run when it cannot be read.
void findValue(ValpickOptions &options);

// Writes options.value into options.text at its first "#" (or after it) as one line on standard
// output; ends the run when the line cannot be written.
void printResult(const ValpickOptions &options);
