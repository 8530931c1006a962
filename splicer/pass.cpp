#include "pass.h"

#include "edit.h"
#include "foundation/arguments.h"

#include <string_view>

namespace {

constexpr std::string_view lineEnd = "\r\n";

bool inputAtEnd(PassState &state) {
    bool end = atEnd(state.inputFile);
    checkIo();
    return end;
}

void restoreHeldBlankLines(PassState &state) {
    for (int i = 0; i < state.heldBlankLines; ++i)
        insertAtCursor(state, lineEnd);
    state.heldBlankLines = 0;
}

// /LAST: takes blank lines out of the window until a line with text or the last line is current.
void holdBlankLines(PassState &state) {
    state.heldBlankLines = 0;
    while (!inputAtEnd(state) && state.currentLine.empty()) {
        ++state.heldBlankLines;
        deleteAtCursor(state, 2);
        readLineIntoWindow(state);
    }
}

// A line beginning with "[" enters or leaves the wanted group by comparing its start.
void testGroupHeader(PassState &state, const SplicerOptions &options) {
    const std::string &line = state.currentLine;
    if (line.empty() || line[0] != '[')
        return;
    std::string start = toUpperAscii(std::string_view(line).substr(0, options.groupHeader.size()));
    state.scopeState = start == options.groupHeader ? 0 : 1;
}

// Edits every hit of the search string in the current line: the first only in line mode, each
// one left to right in character mode, every search starting after the previous edit.
void editSearchHits(PassState &state, const SplicerOptions &options) {
    // The text after the cursor is always an untouched end of the line, so one folded copy of
    // the line serves every search in it.
    std::string &searched = state.searchedLine;
    if (options.caseSensitive)
        searched.assign(state.currentLine);
    else
        toUpperAsciiInto(state.currentLine, searched);
    std::size_t from = 0;
    for (;;) {
        std::size_t hit = searched.find(options.searchString, from);
        if (hit == std::string::npos)
            return;
        applyEdit(state, options, static_cast<std::int64_t>(hit - from));
        if (!options.characterMode)
            return;
        std::size_t restOfLine = unfinishedText(state.window).size() - lineEnd.size();
        from = searched.size() - restOfLine;
    }
}

// /LAST at the header that ends the wanted group: the text goes in front of that header, after
// the group's last line with text; the held blank lines stay in front of the header.
void editGroupEnd(PassState &state, const SplicerOptions &options) {
    if (removesFound(options)) {
        restoreHeldBlankLines(state); // removing at the end of a group removes nothing
        return;
    }
    if (options.characterMode)
        restoreHeldBlankLines(state);
    applyEdit(state, options, 0);
}

void editLine(PassState &state, const SplicerOptions &options, int previousScope) {
    switch (options.position) {
    case PositionMode::searchHit:
        if (state.scopeState == 0)
            editSearchHits(state, options);
        break;
    case PositionMode::firstLine:
        if (state.scopeState == 0)
            applyEdit(state, options, 0);
        break;
    case PositionMode::lastLine:
        if (state.scopeState == 1 && previousScope == 0)
            editGroupEnd(state, options);
        else
            restoreHeldBlankLines(state);
        break;
    }
}

} // namespace

void openPassFiles(PassState &state, const SplicerOptions &options) {
    state.window = EditWindow{};
    state.window.limit = windowLimitFor(options.searchString.size());
    if (options.textFromFile)
        assignName(state.textFile, options.text);
    assignName(state.inputFile, options.editedPath);
    // Nobody may write the source while it is read: also not this run's own output, when /NEW=
    // names the source under any name.
    openForReading(state.inputFile, true);
    checkIo();
    assignName(state.outputFile, options.outputPath);
    openForWriting(state.outputFile, options.newFileGiven ? nullptr : &state.inputFile);
    checkIo();
    state.scopeState = options.groupGiven ? 1 : 0;
}

void passOverLines(PassState &state, const SplicerOptions &options) {
    int previousScope = -1;
    do {
        readLineIntoWindow(state);
        if (options.position == PositionMode::lastLine)
            holdBlankLines(state);
        if (options.groupGiven && state.scopeState != 2)
            testGroupHeader(state, options);
        editLine(state, options, previousScope);
        previousScope = state.scopeState;
        cursorToEnd(state);
    } while (!inputAtEnd(state));

    close(state.inputFile);
    checkIo();
    if (options.position == PositionMode::lastLine && state.scopeState == 0) {
        state.heldBlankLines = 0;
        applyEdit(state, options, 0);
    }
    flushWindow(state);
    close(state.outputFile);
    checkIo();
    // The text file may be the source itself: it must be closed before the source is erased.
    if (state.textFile.state == LineFileState::reading) {
        close(state.textFile);
        checkIo();
    }
}

void runSplicerPass(const SplicerOptions &options) {
    PassState state;
    openPassFiles(state, options);
    passOverLines(state, options);
    if (!options.newFileGiven) {
        eraseFile(state.inputFile);
        checkIo();
        renameFile(state.outputFile, options.editedPath);
        checkIo();
    }
    endProgram();
}
