#include "edit.h"

namespace {

constexpr std::string_view lineEnd = "\r\n";

std::int64_t lengthOf(std::string_view text) {
    return static_cast<std::int64_t>(text.size());
}

// Step 1: puts the cursor where the text goes and deletes what it replaces.
void placeCursor(PassState &state, const SplicerOptions &options, std::int64_t offset) {
    if (!options.characterMode) {
        if (options.replace) {
            deleteAtCursor(state, lengthOf(state.currentLine));
            if (removesFound(options))
                deleteAtCursor(state, 2); // the line end goes too: the line is removed
        } else if (!options.insertBefore) {
            cursorToEnd(state);
        }
        return;
    }
    advanceCursor(state, offset);
    if (options.replace)
        deleteAtCursor(state, lengthOf(options.searchString));
    else if (!options.insertBefore)
        advanceCursor(state, lengthOf(options.searchString));
}

// Step 2: inserts the command-line text, or the lines of the text file joined by CR LF with no
// line end after the last one. The file is read afresh from its start at every edit.
void insertText(PassState &state, const SplicerOptions &options) {
    if (!options.textFromFile) {
        insertAtCursor(state, options.text);
        return;
    }
    // Writers are kept out: the text file must not be the output that this run is writing,
    // which would grow as fast as it is read and never end.
    openForReading(state.textFile, true);
    checkIo();
    for (;;) {
        readLineInto(state.textFile, state.textLine);
        checkIo();
        bool end = atEnd(state.textFile);
        checkIo();
        if (end)
            break;
        insertLineAtCursor(state, state.textLine);
    }
    insertAtCursor(state, state.textLine);
}

// Step 3: closes an insert: in line mode its line end and the held blank lines after it.
void closeInsert(PassState &state, const SplicerOptions &options) {
    if (options.replace)
        return;
    if (!options.characterMode) {
        for (int i = 0; i <= state.heldBlankLines; ++i)
            insertAtCursor(state, lineEnd);
        if (options.insertBefore)
            cursorToEnd(state);
    } else if (options.insertBefore) {
        advanceCursor(state, lengthOf(options.searchString));
    }
}

} // namespace

bool removesFound(const SplicerOptions &options) {
    // A text from a file, even an empty one or standard input, is a TEXT.
    return options.replace && options.text.empty() && !options.textFromFile;
}

void applyEdit(PassState &state, const SplicerOptions &options, std::int64_t offset) {
    placeCursor(state, options, offset);
    insertText(state, options);
    closeInsert(state, options);
    if (options.onlyOnce)
        state.scopeState = 2;
}
