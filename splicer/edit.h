// One edit at a found place: insert after or before it, replace it, or remove it.
#pragma once

#include "edit_window.h"
#include "options.h"

#include <cstdint>

// True when the run removes what it finds: a replacement without any TEXT.
bool removesFound(const SplicerOptions &options);

// Makes one edit at the window's cursor. offset is the distance from the cursor to the found
// text (character mode only). Afterwards the cursor stands after both the inserted and the
// found text; with onlyOnce the pass is marked finished.
void applyEdit(PassState &state, const SplicerOptions &options, std::int64_t offset);
