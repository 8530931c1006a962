// Whole lines that no edit can touch, taken from what the source has read ahead straight into
// the window, so that a stretch of the file without hits costs no work line by line.
#pragma once

#include "edit_window.h"
#include "options.h"

// Puts into the window, as finished text, the whole lines that the source has read ahead and
// that the pass would copy unchanged, and takes them from the source. It stops in front of the
// first line that the pass must look at itself: one that holds the search string, a group
// header while headers matter, one ended by a lone CR, and one not yet whole in the buffer.
// Called at a line's start with nothing unfinished in the window.
void passUnchangedLines(PassState &state, const SplicerOptions &options);
