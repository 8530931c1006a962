#include "pass.h"

#include "edit.h"
#include "unchanged_lines.h"
#include "foundation/arguments.h"

#include <algorithm>
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
    std::string_view line = state.currentLine;
    if (line.empty() || line[0] != '[')
        return;
    std::string start = toUpperAscii(line.substr(0, options.groupHeader.size()));
    state.scopeState = start == options.groupHeader ? 0 : 1;
}

// The rest of the current line after the cursor, without its CR LF: an untouched end of the line.
std::string_view restOfLine(const EditWindow &window) {
    std::string_view rest = unfinishedText(window);
    rest.remove_suffix(lineEnd.size());
    return rest;
}

// The upper-cased form of the current line, made a piece at a time as the search moves along the
// line: a line with many hits is folded once in all, and a long line is never held folded whole.
struct FoldedLine {
    std::string &piece; // the upper-cased line from position start on
    std::size_t start;  // position in the line of the piece's first character
    std::size_t length; // length of the whole line
};

// Pieces are folded this long, or twice the search string when that is longer.
constexpr std::size_t foldedPieceSize = 64 * 1024;

// Folds the piece of the line that begins at position `from`; rest begins at position cursorAt.
void foldPiece(FoldedLine &folded, std::string_view rest, std::size_t cursorAt, std::size_t from,
               std::size_t needleSize) {
    std::size_t size = std::max(foldedPieceSize, 2 * needleSize);
    toUpperAsciiInto(rest.substr(from - cursorAt, size), folded.piece);
    folded.start = from;
}

// Position of the first occurrence of needle in text from position from on, or npos. A search
// string of one character is looked for as that character, which is quicker.
std::size_t findFrom(std::string_view text, std::string_view needle, std::size_t from) {
    return needle.size() == 1 ? text.find(needle[0], from) : text.find(needle, from);
}

// Offset from the cursor of the first occurrence of needle (upper-cased) in rest upper-cased, or
// npos. rest is the line's end from the cursor on, and folded holds a piece at or before it.
std::size_t findFolded(FoldedLine &folded, std::string_view rest, const std::string &needle) {
    std::size_t cursorAt = folded.length - rest.size();
    for (;;) {
        std::size_t from = cursorAt > folded.start ? cursorAt - folded.start : 0;
        std::size_t hit = findFrom(folded.piece, needle, from);
        if (hit != std::string::npos)
            return folded.start + hit - cursorAt;
        std::size_t end = folded.start + folded.piece.size();
        if (end == folded.length)
            return std::string::npos;
        // The next piece begins early enough to hold whole an occurrence that this one cut off.
        foldPiece(folded, rest, cursorAt, std::max(cursorAt, end - (needle.size() - 1)),
                  needle.size());
    }
}

// Edits every hit of the search string in the current line: the first only in line mode, each
// one left to right in character mode, every search starting after the previous edit. Each
// search looks at the window's rest of the line, which no edit has touched.
void editSearchHits(PassState &state, const SplicerOptions &options) {
    const std::string &needle = options.searchString;
    std::string_view line = restOfLine(state.window);
    FoldedLine folded{state.searchedLine, 0, line.size()};
    if (!options.caseSensitive)
        foldPiece(folded, line, 0, 0, needle.size());
    for (;;) {
        std::string_view rest = restOfLine(state.window);
        std::size_t hit =
            options.caseSensitive ? findFrom(rest, needle, 0) : findFolded(folded, rest, needle);
        if (hit == std::string::npos)
            return;
        applyEdit(state, options, static_cast<std::int64_t>(hit));
        if (!options.characterMode)
            return;
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
        // Only the header that ends a group can make held blank lines matter: without a group
        // they would go back right away, in front of the same line.
        if (options.position == PositionMode::lastLine && options.groupGiven)
            holdBlankLines(state);
        if (options.groupGiven && state.scopeState != 2)
            testGroupHeader(state, options);
        editLine(state, options, previousScope);
        previousScope = state.scopeState;
        cursorToEnd(state);
        passUnchangedLines(state, options);
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
